# One first whole-grid read in this fresh R process, timed: ours (gridinit
# and setwindow first, untimed; the read loads the layer) or terra's
# as.matrix(rast(f), wide = TRUE) on the grid's file. Prints the seconds.
# Usage: Rscript fresh_first_read.R <build dir> <workspace> <grid> ours|terra
args <- commandArgs(trailingOnly = TRUE)
build <- normalizePath(args[[1]])
ws <- normalizePath(args[[2]])
grid <- args[[3]]
here <- dirname(normalizePath(sub("^--file=", "", grep("^--file=", commandArgs(), value = TRUE)[1])))
source(file.path(here, "bench_support.R"))
if (args[[4]] == "ours") {
  bench_load(build)
  stop_unless_ok(mirl_gridinit(2, ws), "gridinit")
  w <- mirl_setwindow(grid)
  stop_unless_ok(w$code, "setwindow")
  t <- seconds(out <- .C("R_readgrid_dbl", result = integer(1), grid, -9999,
                         cells = double(w$rows * w$cols), PACKAGE = "mirl_lib"))
  stop_unless_ok(out$result, "readgrid_dbl")
} else {
  suppressPackageStartupMessages(library(terra))
  f <- file.path(ws, grid, "layer.tif")
  t <- seconds(m <- as.matrix(rast(f), wide = TRUE))
}
cat(t[["wall"]], "\n")
