# Coordinate reference systems between SpatRasters and grids. The grid
# server's packets carry none: in an in-process session (io mode 2) the
# package reads a grid's CRS from its raster file and names a SpatRaster's
# CRS to the grid I/O library for the grids created on it; through a grid
# server (io mode 1) the server's own rule decides, and the package says so.

# The CRS of grid name's raster as GDAL reads it, when this process serves
# the workspace; `none` when the grid has no raster there, and through a
# grid server. The raster is found as the grid library finds it: layer.tif,
# else the one .tif in the grid's directory, else an ESRI grid.
grid_crs <- function(name, none = NULL) {
  info <- .session$info
  if (is.null(info) || info$io_mode != 2L) return(none)
  dir <- file.path(info$source, name)
  tifs <- list.files(dir, pattern = "[.]tiff?$", ignore.case = TRUE, full.names = TRUE)
  raster <- if (file.exists(file.path(dir, "layer.tif"))) file.path(dir, "layer.tif") else
    if (length(tifs) == 1L) tifs else if (file.exists(file.path(dir, "hdr.adf"))) dir else
      return(none)
  tryCatch(suppressWarnings(terra::crs(terra::rast(raster))), error = function(e) "")
}

# Names crs (WKT, "" for none) to the grid I/O library as the CRS of the
# window just set, in an in-process session: the grids created on it take
# it, unless they rewrite a grid on the same cells.
name_window_crs <- function(crs) {
  info <- .session$info
  if (is.null(info) || info$io_mode != 2L) return(invisible(NULL))
  if (!"avgridio" %in% names(getLoadedDLLs())) {
    stop("the grid I/O library avgridio is not loaded", call. = FALSE)
  }
  code <- .Call(C_mirl_window_crs$address, crs)
  if (code < 0L) {
    stop(sprintf("the grid I/O library did not take the CRS (its code %d): %s", code,
                 crs_label(crs)), call. = FALSE)
  }
  .session$window_crs <- crs
  invisible(NULL)
}

# The CRS named for the window in force ("" for none).
window_crs <- function() if (is.null(.session$window_crs)) "" else .session$window_crs

warn_no_crs <- function(what) {
  warning(structure(class = c("mirl_crs_warning", "warning", "condition"), list(
    message = paste0("the grid server's packets carry no CRS: ", what, " take the server's ",
                     "rule (the CRS of the grid they rewrite, else of the grid the window ",
                     "was set from, else the one the server's other grids share)"),
    call = sys.call(-1))))
}

# Writes through write() with raster x's CRS where it is due: refused when
# x's CRS is not the one of existing grid name; named to the grid library
# for a new grid in an in-process session; warned about through a server.
with_raster_crs <- function(name, x, write) {
  crs <- if (inherits(x, "SpatRaster")) terra::crs(x) else ""
  if (!nzchar(crs)) return(write())
  if (!identical(grid_session()$io_mode, 2L)) {
    warn_no_crs(sprintf("grid '%s' and the grids created with it", name))
    return(write())
  }
  existing <- grid_crs(name)
  if (!is.null(existing)) {
    if (!same_crs(existing, crs)) {
      stop(sprintf(paste("%s: the raster's CRS (%s) is not the grid's (%s); project the",
                         "raster (terra::project) or write it under another name"),
                   grid_context(name), crs_label(crs), crs_label(existing)), call. = FALSE)
    }
    return(write())
  }
  kept <- window_crs()
  if (identical(kept, crs)) return(write())
  name_window_crs(crs)
  on.exit(name_window_crs(kept))
  write()
}

# A CRS as people name it: "EPSG:3035 (ETRS89-extended / LAEA Europe)",
# "none" for "".
crs_label <- function(crs) {
  if (!nzchar(crs)) return("none")
  d <- tryCatch(terra::crs(crs, describe = TRUE), error = function(e) NULL)
  if (is.null(d) || is.na(d$name)) return(substr(crs, 1L, 60L))
  if (!is.na(d$authority) && !is.na(d$code)) sprintf("%s:%s (%s)", d$authority, d$code, d$name)
  else d$name
}

# Whether two CRSs (WKT, "" for none) are the same, as terra compares the
# CRSs of two rasters.
same_crs <- function(a, b) {
  if (!nzchar(a) || !nzchar(b)) return(!nzchar(a) && !nzchar(b))
  if (identical(a, b)) return(TRUE)
  isTRUE(terra::compareGeom(terra::rast(crs = a), terra::rast(crs = b), lyrs = FALSE,
                            crs = TRUE, ext = FALSE, rowcol = FALSE, res = FALSE,
                            stopOnError = FALSE, messages = FALSE))
}
