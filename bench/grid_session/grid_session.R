# readgrid_dbl and writegrid_dbl from R against terra on the same float
# GeoTIFFs, side by side in one process, and the same read over io mode 1
# against a grid_server on loopback. Two layers of the same cells: one as
# terra writes it by default (LZW-compressed strips) and one uncompressed.
# Reads go through .C as a host calls readgrid_dbl and through the package's
# grid_read().
# Usage: Rscript grid_session.R <package library> <build dir> <scratch dir> <size> <repetitions>
args <- commandArgs(trailingOnly = TRUE)
lib <- normalizePath(args[[1]])
build <- normalizePath(args[[2]])
scratch <- args[[3]]
n <- as.integer(args[[4]])
reps <- as.integer(args[[5]])
here <- dirname(normalizePath(sub("^--file=", "", grep("^--file=", commandArgs(), value = TRUE)[1])))
source(file.path(here, "bench_support.R"))
bench_load_package(lib)
suppressPackageStartupMessages(library(terra))

ws <- file.path(scratch, "ws")
dir.create(ws, recursive = TRUE)
ws <- normalizePath(ws)
cells <- n * n
cell_mb <- cells * 4 / 1e6

# The cells: floats with some no-data.
set.seed(n)
values <- runif(cells, 0, 1000)
values[sample.int(cells, cells %/% 50)] <- NA
r <- rast(nrows = n, ncols = n, xmin = 0, xmax = n * 10, ymin = 0, ymax = n * 10, crs = "")
values(r) <- values
layers <- c(lzw = "default", raw = "COMPRESS=NONE")
for (g in names(layers)) {
  dir.create(file.path(ws, g))
  writeRaster(r, file.path(ws, g, "layer.tif"), datatype = "FLT4S", overwrite = TRUE,
              gdal = if (layers[[g]] == "default") character(0) else layers[[g]])
}
layer_file <- function(g) file.path(ws, g, "layer.tif")

read_ours <- function(g) {
  .C("R_readgrid_dbl", result = integer(1), g, -9999, cells = double(cells), PACKAGE = "mirl_lib")
}
read_terra <- function(g) as.matrix(rast(layer_file(g)), wide = TRUE)
terra_matrix <- function(g) {
  x <- read_terra(g)
  x[is.na(x)] <- NA  # terra gives NaN for no-data
  x
}
terra_cells <- function(g) as.vector(t(terra_matrix(g)))

stop_unless_ok(mirl_gridinit(2, ws), "gridinit")
# One untimed round, so that R's heap has grown to the arrays' size before
# the first timed run of either side.
stop_unless_ok(mirl_setwindow("raw")$code, "setwindow")
for (i in 1:2) invisible(list(read_ours("raw"), read_terra("raw")))
reads <- list()
for (g in names(layers)) {
  # Each first read follows a setwindow, which empties the layer cache.
  reads[[g]] <- list(
    first = median_seconds(reps, function(i) stop_unless_ok(read_ours(g)$result, "readgrid_dbl"),
                           setup = function(i) stop_unless_ok(mirl_setwindow(g)$code, "setwindow")),
    cached = median_seconds(reps, function(i) stop_unless_ok(read_ours(g)$result, "readgrid_dbl")),
    matrix = median_seconds(reps, function(i) grid_read(g, as = "matrix")),
    vector = median_seconds(reps, function(i) grid_read(g, as = "vector")),
    terra = median_seconds(reps, function(i) read_terra(g)))
  ours <- read_ours(g)$cells
  ours[ours == -9999] <- NA
  if (!identical(ours, terra_cells(g))) stop("readgrid_dbl and terra disagree on ", g)
  if (!identical(grid_read(g, as = "matrix"), terra_matrix(g)))
    stop("grid_read and terra disagree on ", g)
}

# The window set-up each first read above followed: it empties the layer
# cache and sets up the memory strategy.
window_setup <- median_seconds(reps, function(i) stop_unless_ok(mirl_setwindow("raw")$code,
                                                                "setwindow"))

# Writes: a fresh grid each time; terra writes the same cells from memory.
out_cells <- values
out_cells[is.na(out_cells)] <- -9999
write_ours <- median_seconds(reps, function(i) {
  stop_unless_ok(.C("R_writegrid_dbl", result = integer(1), paste0("w", i), n, n, -9999,
                    out_cells, PACKAGE = "mirl_lib")$result, "writegrid_dbl")
})
peer_dir <- file.path(scratch, "terra")
dir.create(peer_dir)
write_terra <- lapply(layers, function(option) median_seconds(reps, function(i) {
  writeRaster(r, file.path(peer_dir, paste0("w", i, ".tif")), datatype = "FLT4S",
              overwrite = TRUE, gdal = if (option == "default") character(0) else option)
}))
# The cells as floats hold them (what terra read back from its own file).
expected <- terra_cells("raw")
expected[is.na(expected)] <- -9999
if (!identical(read_ours("w1")$cells, expected)) stop("writegrid_dbl did not write the cells")
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
stop_unless_ok(mirl_setwindow("raw")$code, "setwindow io mode 1")
remote_first <- seconds(stop_unless_ok(read_ours("raw")$result, "readgrid_dbl io mode 1"))
remote_cached <- median_seconds(reps, function(i) {
  stop_unless_ok(read_ours("raw")$result, "readgrid_dbl io mode 1")
})
remote_vector <- median_seconds(reps, function(i) grid_read("raw", as = "vector"))
# An exchange without cells: the client's fixed pause after every attempt
# and a loopback round trip. grid_read makes two (getwindow, readgrid).
remote_window <- median_seconds(reps, function(i) grid_window())
remote <- read_ours("raw")$cells
remote[remote == -9999] <- NA
if (!identical(remote, terra_cells("raw"))) stop("io mode 1 read differs")
if (!identical(grid_read("raw", as = "vector"), remote)) stop("io mode 1 grid_read differs")
stop_unless_ok(mirl_gridserver_retire(), "gridserver_retire")
server$wait(5000)
mirl_clean_up()

# The floor every .C read pays: the array allocated, copied in and out.
floor <- median_seconds(reps, function(i) {
  .C("R_readgrid_dbl", result = integer(1), "absent", -9999, cells = double(cells),
     PACKAGE = "mirl_lib")
})

cat(sprintf("grid session vs terra: %d x %d float grid, %.1f MB of cells, %d runs each\n",
            n, n, cell_mb, reps))
cat("  seconds: median wall / best wall / median process cpu; ratios terra / ours of each\n")
fmt <- function(t) sprintf("%5.3f/%5.3f/%5.3f", t[["wall"]], t[["best"]], t[["cpu"]])
ratio <- function(peer, ours) {
  sprintf("%5.2fx %5.2fx %5.2fx", peer[["wall"]] / ours[["wall"]], peer[["best"]] / ours[["best"]],
          peer[["cpu"]] / ours[["cpu"]])
}
row <- function(what, ours, peer, goal) {
  cat(sprintf("  %-36s ours %s  terra %s  %s  %s\n", what, fmt(ours), fmt(peer),
              ratio(peer, ours), goal))
}
for (g in names(layers)) {
  kind <- if (g == "lzw") "LZW layer" else "uncompressed"
  row(paste("readgrid_dbl io 2 first,", kind), reads[[g]]$first, reads[[g]]$terra, "goal >= 2x")
  row(paste("readgrid_dbl io 2 cached,", kind), reads[[g]]$cached, reads[[g]]$terra, "goal >= 5x")
  row(paste("grid_read matrix io 2 cached,", kind), reads[[g]]$matrix, reads[[g]]$terra, "")
  row(paste("grid_read vector io 2 cached,", kind), reads[[g]]$vector, reads[[g]]$terra, "")
}
cat(sprintf("  %-36s ours %s\n", "setwindow (cache emptied, strategy)", fmt(window_setup)))
row("writegrid_dbl vs writeRaster LZW", write_ours, write_terra$lzw, "goal >= 1x")
row("writegrid_dbl vs writeRaster none", write_ours, write_terra$raw, "")
io1 <- function(what, t, note) {
  cat(sprintf("  %-36s %5.3f/%5.3f s wall  %4.0f/%4.0f MB/s of cells end to end  %s\n", what,
              t[["wall"]], t[["best"]], cell_mb / t[["wall"]], cell_mb / t[["best"]], note))
}
io1("grid_read vector io 1 cached, unc.", remote_vector,
    sprintf("goal >= 1000 MB/s (a fresh vector each call): %s",
            if (cell_mb / remote_vector[["wall"]] >= 1000) "met" else "not met"))
io1("readgrid_dbl .C io 1 cached, uncompr.", remote_cached, "(.C: a fresh vector, copied in and out)")
cat(sprintf(paste0("  %-36s %5.3f/%5.3f s wall  an exchange without cells; grid_read makes two,\n",
                   "  %-36s which alone cap it at %.0f MB/s of cells\n"),
            "grid_window() io 1", remote_window[["wall"]], remote_window[["best"]], "",
            cell_mb / (2 * remote_window[["best"]])))
io1("readgrid_dbl io 1 first, uncompr.", c(wall = remote_first[["wall"]],
                                            best = remote_first[["wall"]]),
    "(one run; the server reads the layer)")
cat(sprintf("  .C floor of every read (array allocated, copied in and out): %s\n", fmt(floor)))
cat(sprintf("  terra reads %.0f MB/s of cells (LZW), %.0f MB/s (uncompressed); MB = 10^6 bytes\n",
            cell_mb / reads$lzw$terra[["wall"]], cell_mb / reads$raw$terra[["wall"]]))
