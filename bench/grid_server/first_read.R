# The first whole-grid read of a fresh session as R makes it: a fresh R
# process that dyn.loads the library and calls R_readgrid_dbl through .C
# right after R_setwindow, in io mode 2 (the library serves the layer) and
# in io mode 1 (a grid_server started just before serves it over
# loopback), alternating, each run a fresh process and a fresh server.
# Usage: Rscript first_read.R <build dir> <scratch dir> [size (2000)] [runs (7)]
# (and, internally, Rscript first_read.R child <build dir> <io mode> <source> <size>)
args <- commandArgs(TRUE)

child <- function(build, io_mode, source, size) {
  dyn.load(file.path(build, "lib", "mirl_lib.so"))
  port <- if (io_mode == 1L) as.integer(source) else 0L
  r <- .C("R_gridinit", result = integer(1), io_mode, if (io_mode == 1L) "127.0.0.1" else source,
          port, 0L)$result
  stopifnot(r == 1L)
  w <- .C("R_setwindow", result = integer(1), "raw", integer(1), integer(1), double(1), double(1),
          double(1), integer(1))
  stopifnot(w$result == 1L)
  seconds <- system.time(out <- .C("R_readgrid_dbl", result = integer(1), "raw", -9999,
                                   mtx = double(size * size)))[["elapsed"]]
  stopifnot(out$result == 1L)
  cat(sprintf("%.6f\n", seconds))
}

run_child <- function(build, io_mode, source, size) {
  out <- system2(file.path(R.home("bin"), "Rscript"),
                 c(shQuote(script), "child", shQuote(build), io_mode, shQuote(source), size),
                 stdout = TRUE)
  as.numeric(tail(out, 1))
}

start_server <- function(build, root, scratch) {
  port_file <- file.path(scratch, "port.txt")
  unlink(port_file)
  system2(file.path(build, "gridserver", "grid_server"),
          c("--root", shQuote(root), "--port", "0", "--port-file", shQuote(port_file)),
          stdout = FALSE, stderr = FALSE, wait = FALSE)
  for (i in 1:500) {
    if (file.exists(port_file)) return(as.integer(readLines(port_file)))
    Sys.sleep(0.01)
  }
  stop("grid_server did not start")
}

retire <- function(build, port) {
  dyn.load(file.path(build, "lib", "mirl_lib.so"))
  .C("R_gridinit", result = integer(1), 1L, "127.0.0.1", port, 0L)
  .C("R_gridserver_retire", result = integer(1))
  .C("clean_up")
}

script <- sub("^--file=", "", grep("^--file=", commandArgs(FALSE), value = TRUE))
if (length(args) >= 1 && args[1] == "child") {
  child(args[2], as.integer(args[3]), args[4], as.integer(args[5]))
  quit(save = "no")
}

build <- normalizePath(args[1])
scratch <- normalizePath(args[2])
size <- if (length(args) >= 3) as.integer(args[3]) else 2000L
runs <- if (length(args) >= 4) as.integer(args[4]) else 7L
root <- file.path(scratch, "ws_r")
dir.create(root, showWarnings = FALSE)

# The layer, written once in io mode 2: cells with no-data among them.
dyn.load(file.path(build, "lib", "mirl_lib.so"))
stopifnot(.C("R_gridinit", result = integer(1), 2L, root, 0L, 0L)$result == 1L)
stopifnot(.C("R_makewindow", result = integer(1), size, size, 0, 0, 10, integer(1))$result == 1L)
cells <- ifelse(seq_len(size * size) %% 53 == 1, -9999, (seq_len(size * size) * 7919) %% 100000 / 8)
if (!dir.exists(file.path(root, "raw")))
  stopifnot(.C("R_gridcreate", result = integer(1), "raw", 2L)$result == 1L)
stopifnot(.C("R_writegrid_dbl", result = integer(1), "raw", size, size, -9999, cells)$result == 1L)
invisible(.C("clean_up"))

io1 <- io2 <- numeric(0)
for (i in seq_len(runs)) {
  io2 <- c(io2, run_child(build, 2L, root, size))
  port <- start_server(build, root, scratch)
  io1 <- c(io1, run_child(build, 1L, as.character(port), size))
  retire(build, port)
}
m1 <- median(io1); m2 <- median(io2)
cat(sprintf("first R_readgrid_dbl through .C of a fresh R process, %d x %d uncompressed float layer, %d runs\n",
            size, size, runs))
cat(sprintf("  io mode 2 (in-process): median %.4f s, best %.4f s\n", m2, min(io2)))
cat(sprintf("  io mode 1 (fresh grid_server): median %.4f s, best %.4f s\n", m1, min(io1)))
cat(sprintf("  goal io1 <= 1.5 x io2 + 20 ms = %.4f s: %s (medians)\n", 1.5 * m2 + 0.020,
            if (m1 <= 1.5 * m2 + 0.020) "met" else "MISSED"))
