# Demo: a whole grid session on real terrain. terra's bundled elevation
# raster of Luxembourg becomes a grid in a fresh workspace; an io-mode-2
# session sets the window from it and reads it; a resistance surface (from
# slope) and D8 flow directions (terra's terrain(..., "flowdir"), the codes
# wetspread reads) are derived; spread, wetspread and patch_scan run; the
# results are written back as grids and drawn as PNG maps beside a summary.
# Then a grid_server is started over the same workspace and the same grids
# are read over io mode 1, which must give identical cells.
# Usage: Rscript demo/workflow.R <build directory> <output directory>
args <- commandArgs(trailingOnly = TRUE)
if (length(args) != 2) stop("usage: workflow.R <build directory> <output directory>")
build_dir <- normalizePath(args[[1]])
out_dir <- args[[2]]
dir.create(out_dir, showWarnings = FALSE, recursive = TRUE)
out_dir <- normalizePath(out_dir)

here <- dirname(normalizePath(sub("^--file=", "", grep("^--file=", commandArgs(), value = TRUE)[1])))
source(file.path(here, "..", "r", "mirl.R"))
source(file.path(here, "..", "r", "mirl_grid.R"))
mirl_load(file.path(build_dir, "lib"))
suppressPackageStartupMessages(library(terra))

check <- function(ok, what) if (!isTRUE(ok)) stop(what, call. = FALSE)
check_code <- function(code, what) check(mirl_ok(code), sprintf("%s failed with code %d", what,
                                                                as.integer(code)))

# The workspace: one grid, a directory holding the GeoTIFF.
source_tif <- system.file("ex/elev.tif", package = "terra")
check(nzchar(source_tif), "terra's ex/elev.tif is not installed")
ws <- file.path(out_dir, "workspace")
unlink(ws, recursive = TRUE)
dir.create(file.path(ws, "elev"), recursive = TRUE)
check(file.copy(source_tif, file.path(ws, "elev", "elev.tif")), "cannot copy elev.tif")
ws <- normalizePath(ws)
elev_tif <- file.path(ws, "elev", "elev.tif")

# io mode 2: the library is its own grid server over the workspace.
t0 <- proc.time()[["elapsed"]]
check_code(mirl_gridinit(2, ws), "gridinit (io mode 2)")
window <- mirl_setwindow("elev")
check_code(window$code, "setwindow")
elev <- mirl_readgrid("elev")
check_code(attr(elev, "code"), "readgrid elev")
elev <- unclass(elev)[, ]
terra_elev <- as.matrix(rast(elev_tif), wide = TRUE)
terra_elev[is.na(terra_elev)] <- NA
check(identical(is.na(elev), is.na(terra_elev)) && all(elev == terra_elev, na.rm = TRUE),
      "readgrid and terra disagree on elev")

# Resistance: 1 + slope in degrees; outside the country (no data) a barrier.
slope <- as.matrix(terrain(rast(elev_tif), "slope", unit = "degrees"), wide = TRUE)
resistance <- 1 + slope
resistance[is.na(resistance)] <- -1
# D8 flow directions, 1 east ... 128 north-east; 0 (never wetted) where none.
# terra breaks ties between equal drops at random, through R's generator.
set.seed(1)
flowdir <- as.matrix(terrain(rast(elev_tif), "flowdir"), wide = TRUE)
flowdir[is.na(flowdir) | is.na(elev)] <- 0
storage.mode(flowdir) <- "integer"

nr <- nrow(elev)
nc <- ncol(elev)
summit <- which(elev == max(elev, na.rm = TRUE), arr.ind = TRUE)[1, ]
spread_value <- 60
spread <- mirl_spread(resistance, spread_value, summit[["row"]], summit[["col"]], diagonal = TRUE)
spread_reached <- attr(spread, "code")
check(spread_reached >= 1, sprintf("spread failed with code %d", spread_reached))
spread <- unclass(spread)[, ]

# terra points the cells of a flat at each other now and then; wetspread
# walks such a cycle round until the value is spent, like any other path.
# The walk below counts each cell's catchment, to start the wetness where
# the most water passes, and stops where a path comes back on itself.
d8_row <- c(`1` = 0, `2` = 1, `4` = 1, `8` = 1, `16` = 0, `32` = -1, `64` = -1, `128` = -1)
d8_col <- c(`1` = 1, `2` = 1, `4` = 0, `8` = -1, `16` = -1, `32` = -1, `64` = 0, `128` = 1)
downstream <- function(i) {
  code <- as.character(flowdir[i])
  if (!code %in% names(d8_row)) return(NA_integer_)
  r <- (i - 1) %% nr + 1 + d8_row[[code]]
  c <- (i - 1) %/% nr + 1 + d8_col[[code]]
  if (r < 1 || r > nr || c < 1 || c > nc || is.na(elev[r, c])) return(NA_integer_)
  as.integer((c - 1) * nr + r)
}
on_cycle <- logical(nr * nc)
upstream <- matrix(0, nr, nc)
for (start in which(!is.na(elev))) {
  on_path <- integer(0)
  i <- start
  while (!is.na(i)) {
    if (i %in% on_path) {
      on_cycle[on_path[match(i, on_path):length(on_path)]] <- TRUE
      break
    }
    on_path <- c(on_path, i)
    i <- downstream(i)
  }
  upstream[on_path] <- upstream[on_path] + 1
}
# (A sink, direction 0, is never wetted: start at the largest draining cell.)
outlet <- arrayInd(which.max(ifelse(flowdir > 0, upstream, 0)), dim(elev))
wet_value <- 40
wet <- .C("R_wetspread", result = integer(1), as.double(wet_value), as.integer(outlet[1]),
          as.integer(outlet[2]), as.integer(nr), as.integer(nc), as.double(t(matrix(1, nr, nc))),
          as.integer(t(flowdir)), wetness = double(nr * nc), PACKAGE = "mirl_lib")
check_code(wet$result, "wetspread")
wetness <- matrix(wet$wetness, nr, nc, byrow = TRUE)

# Patches of four elevation bands, 8-connected; no data stays -1.
breaks <- quantile(elev, c(0, 0.25, 0.5, 0.75, 1), na.rm = TRUE)
bands <- matrix(as.integer(cut(elev, breaks, include.lowest = TRUE, labels = FALSE)) - 1L, nr, nc)
bands[is.na(bands)] <- -1L
scan <- .C("R_patch_scan", result = integer(1), grid = as.integer(t(bands)), as.integer(nr),
           as.integer(nc), 8L, -1L, count = integer(1), PACKAGE = "mirl_lib")
check_code(scan$result, "patch_scan")
patches <- matrix(scan$grid, nr, nc, byrow = TRUE)

# Results back into the workspace as grids, and read again.
results <- list(resistance = resistance, flowdir = flowdir, spread = spread,
                wetness = wetness, patches = patches)
for (name in names(results)) {
  m <- results[[name]]
  missing <- if (name == "patches") -1L else NA
  check_code(mirl_writegrid(name, m, missing = missing), paste("writegrid", name))
  back <- mirl_readgrid(name, missing = missing, type = if (is.integer(m)) "integer" else "double")
  check_code(attr(back, "code"), paste("readgrid", name))
  # Float grids hold doubles to float precision.
  check(isTRUE(all.equal(unclass(back)[, ], m, tolerance = 1e-6, check.attributes = FALSE)),
        paste("grid", name, "does not read back as written"))
}
grids <- mirl_gridlist()
check_code(attr(grids, "code"), "gridlist")
described <- mirl_griddescribe("spread")
check_code(described$code, "griddescribe spread")
local_spread <- unclass(mirl_readgrid("spread"))[, ]
mirl_clean_up()
local_seconds <- proc.time()[["elapsed"]] - t0

# io mode 1: the same reads through a grid_server over the workspace.
server_log <- file.path(out_dir, "grid_server_log.txt")
port_file <- tempfile("grid-server-port-")
server <- processx::process$new(file.path(build_dir, "gridserver", "grid_server"),
                                c("--root", ws, "--port", "0", "--port-file", port_file,
                                  "--log", server_log), stdout = NULL, stderr = "|")
for (i in 1:400) {
  if (file.exists(port_file) || !server$is_alive()) break
  Sys.sleep(0.025)
}
check(file.exists(port_file), paste("grid_server did not start:", server$read_all_error()))
port <- as.integer(readLines(port_file, warn = FALSE)[1])
check_code(mirl_gridinit(1, "127.0.0.1", port), "gridinit (io mode 1)")
remote_window <- mirl_setwindow("elev")
check_code(remote_window$code, "setwindow (io mode 1)")
remote_elev <- mirl_readgrid("elev")
remote_spread <- mirl_readgrid("spread")
check_code(attr(remote_elev, "code"), "readgrid elev (io mode 1)")
check_code(attr(remote_spread, "code"), "readgrid spread (io mode 1)")
same_elev <- identical(unclass(remote_elev)[, ], elev)
same_spread <- identical(unclass(remote_spread)[, ], local_spread)
same_window <- identical(remote_window, window)
check_code(mirl_gridserver_retire(), "gridserver_retire")
server$wait(5000)
server_status <- server$get_exit_status()
mirl_clean_up()
check(same_elev && same_spread && same_window, "io mode 1 and io mode 2 gave different cells")
check(identical(server_status, 0L), "grid_server did not exit cleanly")

# Maps.
# Each map over the country in grey, so that what was not reached shows.
land <- ifelse(is.na(elev), NA, 1)
draw <- function(file, m, main, col) {
  png(file.path(out_dir, file), width = 640, height = 620, type = "cairo")
  op <- par(mar = c(1, 1, 3, 1))
  flip <- function(x) t(x[nrow(x):1, ])
  image(flip(land), col = "grey85", axes = FALSE, main = main, asp = nrow(m) / ncol(m))
  if (any(!is.na(m))) image(flip(m), col = col, add = TRUE)
  par(op)
  invisible(dev.off())
  file
}
na_if <- function(m, bad) {
  m[bad] <- NA
  m
}
pictures <- c(
  draw("elev.png", elev, "elevation (m), read through readgrid_dbl", terrain.colors(64)),
  draw("resistance.png", na_if(resistance, resistance < 0), "resistance: 1 + slope (degrees)",
       hcl.colors(64, "Viridis")),
  draw("flowdir.png", na_if(log2(flowdir), flowdir <= 0),
       "D8 flow direction (log2 of the code: 0 east ... 7 north-east)", hcl.colors(8, "Dark 3")),
  draw("spread.png", na_if(spread, spread <= 0),
       sprintf("spread of %g from the summit", spread_value), hcl.colors(64, "YlOrRd", rev = TRUE)),
  draw("wetspread.png", na_if(wetness, wetness <= 0),
       sprintf("wetness %g spread along the network", wet_value),
       hcl.colors(64, "Blues", rev = TRUE)),
  draw("patches.png", na_if(patches, patches < 0),
       sprintf("%d patches of four elevation bands", scan$count),
       sample(hcl.colors(max(scan$count, 1), "Set 3"), max(scan$count, 1), replace = TRUE)))

lines <- c(
  "mirl_lib demo: a grid session over terra's ex/elev.tif (Luxembourg)",
  sprintf("workspace: %s", ws),
  sprintf("window: %d rows x %d columns, lower left (%.5f, %.5f), cell %.6f degrees",
          window$rows, window$cols, window$x_ll, window$y_ll, window$cell_size),
  sprintf("elevation: %d cells with data, %g .. %g m; readgrid_dbl agrees with terra cell for cell",
          sum(!is.na(elev)), min(elev, na.rm = TRUE), max(elev, na.rm = TRUE)),
  sprintf("resistance: 1 + slope, %.2f .. %.2f; %d barrier cells (no data)",
          min(resistance[resistance >= 0]), max(resistance), sum(resistance < 0)),
  sprintf("flow directions: terra terrain(\"flowdir\"), %d cells drain somewhere, %d on cycles of flats",
          sum(flowdir > 0), sum(on_cycle)),
  sprintf("spread: %g from the summit (row %d, column %d, %g m) reached %d cells",
          spread_value, summit[["row"]], summit[["col"]], max(elev, na.rm = TRUE), spread_reached),
  sprintf("wetspread: %g from the draining cell with the largest catchment (row %d, column %d, %g m, %d cells upstream) wetted %d cells",
          wet_value, outlet[1], outlet[2], elev[outlet], as.integer(upstream[outlet]),
          sum(wetness > 0)),
  sprintf("patch_scan: %d patches of four elevation bands (8-neighbourhood)", scan$count),
  sprintf("grids in the workspace: %s", paste(sort(as.vector(grids)), collapse = " ")),
  sprintf("griddescribe spread: %d x %d, cell type %d, min %.3f, max %.3f, mean %.3f",
          described$rows, described$cols, described$cell_type, described$min, described$max,
          described$mean),
  sprintf("io mode 2 session: %.2f s", local_seconds),
  sprintf("io mode 1 (grid_server on 127.0.0.1:%d): window %s, elev cells %s, spread cells %s",
          port, if (same_window) "identical" else "DIFFERENT",
          if (same_elev) "identical" else "DIFFERENT", if (same_spread) "identical" else "DIFFERENT"),
  sprintf("grid_server retired, exit status %d; its log: %s", server_status, basename(server_log)),
  sprintf("pictures: %s", paste(pictures, collapse = " ")))
writeLines(lines, file.path(out_dir, "workflow.txt"))
cat(paste(lines, collapse = "\n"), "\n")
