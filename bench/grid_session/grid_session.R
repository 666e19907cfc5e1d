# readgrid_dbl and writegrid_dbl from R against terra on one float GeoTIFF,
# side by side in one process, and the same read over io mode 1 against a
# grid_server on loopback.
# Usage: Rscript grid_session.R <build dir> <scratch dir> <size> <repetitions>
args <- commandArgs(trailingOnly = TRUE)
build <- normalizePath(args[[1]])
scratch <- args[[2]]
n <- as.integer(args[[3]])
reps <- as.integer(args[[4]])
here <- dirname(normalizePath(sub("^--file=", "", grep("^--file=", commandArgs(), value = TRUE)[1])))
source(file.path(here, "bench_support.R"))
bench_load(build)
suppressPackageStartupMessages(library(terra))

ws <- file.path(scratch, "ws")
dir.create(file.path(ws, "g"), recursive = TRUE)
ws <- normalizePath(ws)
cells <- n * n
cell_mb <- cells * 4 / 1e6

# The grid: a float layer with some no-data, written by terra.
set.seed(n)
values <- runif(cells, 0, 1000)
values[sample.int(cells, cells %/% 50)] <- NA
r <- rast(nrows = n, ncols = n, xmin = 0, xmax = n * 10, ymin = 0, ymax = n * 10, crs = "")
values(r) <- values
layer <- file.path(ws, "g", "layer.tif")
writeRaster(r, layer, datatype = "FLT4S", overwrite = TRUE)

read_ours <- function() {
  .C("R_readgrid_dbl", result = integer(1), "g", -9999, cells = double(cells),
     PACKAGE = "mirl_lib")
}

stop_unless_ok(mirl_gridinit(2, ws), "gridinit")
# Each first read follows a setwindow, which empties the layer cache.
first_ours <- median_seconds(reps, function(i) {
  stop_unless_ok(mirl_setwindow("g")$code, "setwindow")
  stop_unless_ok(read_ours()$result, "readgrid_dbl")
})
cached_ours <- median_seconds(reps, function(i) stop_unless_ok(read_ours()$result, "readgrid_dbl"))
peer_read <- median_seconds(reps, function(i) as.matrix(rast(layer), wide = TRUE))

# Both roads give the same cells (ours row after row, -9999 for no-data).
ours <- read_ours()$cells
ours[ours == -9999] <- NA
theirs <- as.vector(t(as.matrix(rast(layer), wide = TRUE)))
theirs[is.na(theirs)] <- NA  # terra gives NaN for no-data
if (!identical(ours, theirs)) stop("readgrid_dbl and terra disagree")

# Writes: a fresh grid each time; terra writes the same cells from memory.
out_cells <- values
out_cells[is.na(out_cells)] <- -9999
write_ours <- median_seconds(reps, function(i) {
  stop_unless_ok(.C("R_writegrid_dbl", result = integer(1), paste0("w", i), n, n, -9999,
                    out_cells, PACKAGE = "mirl_lib")$result, "writegrid_dbl")
})
peer_dir <- file.path(scratch, "terra")
dir.create(peer_dir)
peer_write <- median_seconds(reps, function(i) {
  writeRaster(r, file.path(peer_dir, paste0("w", i, ".tif")), datatype = "FLT4S",
              overwrite = TRUE)
})
written <- .C("R_readgrid_dbl", result = integer(1), "w1", -9999, cells = double(cells),
              PACKAGE = "mirl_lib")$cells
# The cells as floats hold them (what terra read back from its own float file).
expected <- theirs
expected[is.na(expected)] <- -9999
if (!identical(written, expected)) stop("writegrid_dbl did not write the cells given")
mirl_clean_up()

# io mode 1: the same grid through grid_server on loopback.
port_file <- file.path(scratch, "port")
server <- processx::process$new(file.path(build, "gridserver", "grid_server"),
                                c("--root", ws, "--port", "0", "--port-file", port_file),
                                stdout = NULL, stderr = "|")
for (i in 1:400) {
  if (file.exists(port_file) || !server$is_alive()) break
  Sys.sleep(0.025)
}
port <- as.integer(readLines(port_file, warn = FALSE)[1])
stop_unless_ok(mirl_gridinit(1, "127.0.0.1", port), "gridinit io mode 1")
stop_unless_ok(mirl_setwindow("g")$code, "setwindow io mode 1")
remote_first <- seconds(stop_unless_ok(read_ours()$result, "readgrid_dbl io mode 1"))
remote_cached <- median_seconds(reps, function(i) {
  stop_unless_ok(read_ours()$result, "readgrid_dbl io mode 1")
})
remote <- read_ours()$cells
remote[remote == -9999] <- NA
if (!identical(remote, theirs)) stop("io mode 1 read differs")
stop_unless_ok(mirl_gridserver_retire(), "gridserver_retire")
server$wait(5000)
mirl_clean_up()

cat(sprintf("grid session vs terra: %d x %d float grid, %.1f MB of cells, median of %d\n",
            n, n, cell_mb, reps))
row <- function(what, ours, peer, goal) {
  cat(sprintf("  %-34s ours %7.3f s  terra %7.3f s  terra/ours %6.2fx  (goal %s)\n", what, ours,
              peer, peer / ours, goal))
}
row("readgrid_dbl io mode 2, first read", first_ours, peer_read, ">= 2x")
row("readgrid_dbl io mode 2, cached read", cached_ours, peer_read, ">= 5x")
row("writegrid_dbl vs writeRaster", write_ours, peer_write, ">= 1x")
cat(sprintf("  %-34s %7.3f s  %7.0f MB/s of cells end to end  (goal >= 300 MB/s)\n",
            "readgrid_dbl io mode 1, cached", remote_cached, cell_mb / remote_cached))
cat(sprintf("  %-34s %7.3f s  %7.0f MB/s (the server reads the layer from disk)\n",
            "readgrid_dbl io mode 1, first", remote_first, cell_mb / remote_first))
cat(sprintf("  terra moves %.0f MB/s of cells reading; MB = 10^6 bytes\n", cell_mb / peer_read))
