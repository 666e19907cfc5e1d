#' Read and write whole grids
#'
#' `grid_read()` reads every cell of a grid through the access window (see
#' [grid_window()]); `grid_write()` writes a whole grid, replacing it (or
#' creating it when it is missing). The window gives the size, extent and
#' cell size.
#'
#' When the server holds grids of the window's size only as geometry
#' ("Hollow" mode, `grid_window()$block_only`), or a whole grid is too big
#' for one exchange (ErrGridTooBig), both go through bands of rows read or
#' written as blocks and reported through progressr (wrap the call in
#' `progressr::with_progress()` to see it).
#'
#' @param name The grid.
#' @param as `"SpatRaster"` (with the window's extent and cell size, named
#'   `name`; with the grid's CRS in an in-process session, none through a
#'   grid server, whose packets carry no CRS; see the CRS section),
#'   `"matrix"`, or `"vector"`:
#'   the cells row after row from the northern edge, as the grid keeps them
#'   and [terra::values()] takes them (the fastest form).
#' @param x A matrix of the window's size, or a single-layer SpatRaster of
#'   the window's geometry. When no window is set, a SpatRaster's geometry
#'   becomes the window (the in-process server keeps its window from one
#'   session to the next, so set it with `grid_make_window(x)` when unsure).
#' @param type The cell type of the grid written: `"auto"` makes integer
#'   grids of integer matrices and float grids of everything else.
#' @return `grid_read()`: a SpatRaster, matrix or vector of doubles, `NA` for
#'   no-data (integer grids read as whole doubles). `grid_write()`: `name`,
#'   invisibly.
#' @section Errors: [mirl_error]: -10007 the grid cannot be found, -10013 no
#'   window, -10015 `x` does not have the window's size, -630 no session;
#'   -10010 for a grid that cannot be created, which is also what a save
#'   gets after waiting 30 s for another process that is writing the grid.
#'   A SpatRaster whose CRS is not the one of the grid it replaces is an R
#'   error that names both.
#' @section CRS: In an in-process session a grid written from a SpatRaster
#'   carries the raster's CRS (a new grid; a grid it replaces keeps its own,
#'   which must then be the raster's), and so do the grids created on a
#'   window made from a SpatRaster ([grid_make_window()]). Through a grid
#'   server the packets carry no CRS: a warning of class
#'   `mirl_crs_warning` says that the server's rule decides (the CRS of the
#'   grid rewritten, else of the grid the window was set from, else the one
#'   the server's other grids share).
#' @examples
#' ws <- file.path(tempdir(), "grid-example")
#' dir.create(ws, showWarnings = FALSE)
#' grid_open(workspace = ws)
#' elev <- terra::rast(system.file("ex/elev.tif", package = "terra"))
#' grid_make_window(elev)                  # the window: elev's geometry
#' grid_write("elev", elev)
#' back <- grid_read("elev")
#' all.equal(terra::values(back), terra::values(elev), check.attributes = FALSE)
#' grid_delete("elev")
#' grid_close()
#' @export
grid_read <- function(name, as = c("SpatRaster", "matrix", "vector")) {
  as <- match.arg(as)
  scalar_string(name, "name")
  w <- grid_window()
  by_rows <- as != "matrix"
  cells <- if (w$block_only) NULL else read_whole_cells(name, w, by_rows)
  if (is.null(cells)) {
    cells <- read_bands(name, w)
    if (!by_rows) cells <- matrix(cells, nrow = w$rows, byrow = TRUE)
  }
  if (as != "SpatRaster") return(cells)
  r <- window_raster(w, name = name)
  terra::values(r) <- cells
  r
}

#' @rdname grid_read
#' @export
grid_write <- function(name, x, type = c("auto", "float", "integer")) {
  type <- match.arg(type)
  scalar_string(name, "name")
  g <- as_cells(x, "x")
  w <- tryCatch(grid_window(), mirl_error = function(e) {
    if (e$code != -10013L || !inherits(x, "SpatRaster")) stop(e)
    # The write below says what becomes of the CRS through a grid server.
    withCallingHandlers(grid_make_window(x),
                        mirl_crs_warning = function(w) invokeRestart("muffleWarning"))
  })
  if (g$nrow != w$rows || g$ncol != w$cols) {
    mirl_fail(-10015L, "writegrid", sprintf("%s: %d x %d cells for a window of %d x %d",
                                            grid_context(name), g$nrow, g$ncol, w$rows, w$cols))
  }
  if (inherits(x, "SpatRaster") && !same_geometry(x, w)) {
    mirl_fail(-10015L, "writegrid",
              sprintf("%s: the raster's extent or cell size is not the window's (%s)",
                      grid_context(name), "grid_make_window(x) makes it the window"))
  }
  integer_cells <- type == "integer" || (type == "auto" && is.integer(g$values))
  cells <- if (integer_cells) as_whole(g$values, "x") else as.double(g$values)
  with_raster_crs(name, x, function() {
    if (w$block_only || !write_whole_cells(name, cells, w)) write_bands(name, cells, w)
  })
  invisible(name)
}

same_geometry <- function(r, w) {
  e <- as.vector(terra::ext(r))
  want <- c(w$x_ll, w$x_ll + w$cols * w$cell_size, w$y_ll, w$y_ll + w$rows * w$cell_size)
  isTRUE(all.equal(unname(e), want, tolerance = 1e-9)) &&
    isTRUE(all.equal(terra::res(r), c(w$cell_size, w$cell_size), tolerance = 1e-9))
}

# The whole grid's cells in one exchange (row after row, or as a matrix when
# by_rows is FALSE), or NULL when it is too big for one.
read_whole_cells <- function(name, w, by_rows) {
  out <- .Call(C_mirl_read_grid$address, name, w$rows, w$cols, by_rows)
  if (is.integer(out)) {
    if (out == -10016L) return(NULL)
    checked(out, "readgrid", grid_context(name), call = sys.call(-1))
  }
  out
}

# FALSE when the grid is too big for one exchange.
write_whole_cells <- function(name, cells, w) {
  out <- if (is.integer(cells)) {
    .C("R_writegrid_int", result = integer(1), name, w$rows, w$cols, NA_integer_, cells,
       NAOK = TRUE, PACKAGE = "mirl_lib")
  } else {
    cells[is.na(cells)] <- float_no_data
    .C("R_writegrid_dbl", result = integer(1), name, w$rows, w$cols, float_no_data, cells,
       NAOK = TRUE, PACKAGE = "mirl_lib")
  }
  if (out$result == -10016L) return(FALSE)
  checked(out$result, "writegrid", grid_context(name), hint = busy_hint(out$result),
          call = sys.call(-1))
  TRUE
}

# Rows per band: about four million cells, so that a band is a modest
# exchange (16 MB of floats) whatever the grid's width.
band_rows <- function(w) max(1L, min(w$rows, 4194304L %/% max(w$cols, 1L)))

read_bands <- function(name, w) {
  step <- band_rows(w)
  firsts <- seq.int(1L, w$rows, by = step)
  progress <- progressr::progressor(steps = length(firsts))
  cells <- vector("list", length(firsts))
  for (i in seq_along(firsts)) {
    n <- min(step, w$rows - firsts[[i]] + 1L)
    cells[[i]] <- read_block_cells(name, firsts[[i]], 1L, n, w$cols, 0L)
    progress(sprintf("%s: rows %d-%d of %d", name, firsts[[i]], firsts[[i]] + n - 1L, w$rows))
  }
  unlist(cells, use.names = FALSE)
}

# Replaces the grid as a whole-grid write does: a new grid of the cells'
# type, then its bands.
write_bands <- function(name, cells, w) {
  tryCatch(grid_delete(name), mirl_error = function(e) if (e$code != -10007L) stop(e))
  grid_create(name, if (is.integer(cells)) "integer" else "float")
  step <- band_rows(w)
  firsts <- seq.int(1L, w$rows, by = step)
  progress <- progressr::progressor(steps = length(firsts))
  for (first in firsts) {
    n <- min(step, w$rows - first + 1L)
    band <- cells[(first - 1) * w$cols + seq_len(n * w$cols)]
    write_block_cells(name, band, n, w$cols, first, 1L, 0L)
    progress(sprintf("%s: rows %d-%d of %d", name, first, first + n - 1L, w$rows))
  }
}
