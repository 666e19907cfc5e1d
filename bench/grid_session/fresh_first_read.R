# One first whole-grid read in this fresh R process, timed: ours through
# .C (readgrid_dbl into a new vector, as a host calls it) or through the
# package (grid_read() as a vector or a matrix), each after gridinit and the
# window, untimed (the read loads the layer); or terra's
# as.matrix(rast(f), wide = TRUE) on the grid's file. Prints the seconds.
# Usage: Rscript fresh_first_read.R <package library> <workspace> <grid> dotC|vector|matrix|terra
args <- commandArgs(trailingOnly = TRUE)
lib <- normalizePath(args[[1]])
ws <- normalizePath(args[[2]])
grid <- args[[3]]
here <- dirname(normalizePath(sub("^--file=", "", grep("^--file=", commandArgs(), value = TRUE)[1])))
source(file.path(here, "bench_support.R"))
side <- args[[4]]
if (side == "terra") {
  suppressPackageStartupMessages(library(terra))
  f <- file.path(ws, grid, "layer.tif")
  t <- seconds(m <- as.matrix(rast(f), wide = TRUE))
} else {
  bench_load_package(lib)
  grid_open(workspace = ws)
  w <- grid_window(grid)
  if (side == "dotC") {
    t <- seconds(out <- .C("R_readgrid_dbl", result = integer(1), grid, -9999,
                           cells = double(w$rows * w$cols), PACKAGE = "mirl_lib"))
    stop_unless_ok(out$result, "readgrid_dbl")
  } else {
    t <- seconds(m <- grid_read(grid, as = side))
  }
}
cat(t[["wall"]], "\n")
