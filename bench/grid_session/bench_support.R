# Shared by the grid session benchmark scripts: loading the built library
# (the build tree's alone, or the package mirl made from this tree, which
# brings its own copy), the few session calls the benchmarks make through
# .C, and timing.

bench_load <- function(build) {
  path <- file.path(build, "lib", paste0("mirl_lib", .Platform$dynlib.ext))
  if (!is.loaded("R_spread", PACKAGE = "mirl_lib")) dyn.load(path)
  invisible(path)
}

bench_load_package <- function(lib) {
  suppressPackageStartupMessages(library(mirl, lib.loc = lib))
}

mirl_gridinit <- function(io_mode, source, port = 0L, log = FALSE) {
  .C("R_gridinit", result = integer(1), as.integer(io_mode), as.character(source),
     as.integer(port), as.integer(log), PACKAGE = "mirl_lib")$result
}

mirl_clean_up <- function() invisible(.C("clean_up", PACKAGE = "mirl_lib"))

mirl_setwindow <- function(grid) {
  out <- .C("R_setwindow", result = integer(1), as.character(grid), y_count = integer(1),
            x_count = integer(1), y_ll = double(1), x_ll = double(1), cell_size = double(1),
            block_only = integer(1), PACKAGE = "mirl_lib")
  list(code = out$result, rows = out$y_count, cols = out$x_count)
}

mirl_gridserver_retire <- function() {
  .C("R_gridserver_retire", result = integer(1), PACKAGE = "mirl_lib")$result
}

# Wall-clock and process CPU seconds (user + system) that expr takes. The
# CPU figure is not disturbed by other jobs on the machine; it leaves out
# any other process's work (a grid server's, for io mode 1).
seconds <- function(expr) {
  c0 <- proc.time()
  t0 <- Sys.time()
  force(expr)
  wall <- as.numeric(difftime(Sys.time(), t0, units = "secs"))
  c1 <- proc.time()
  c(wall = wall, cpu = (c1[["user.self"]] - c0[["user.self"]]) +
                       (c1[["sys.self"]] - c0[["sys.self"]]))
}

# Median wall, best wall and median CPU seconds over reps runs of setup(i)
# then f(i), only f timed; a collection first so that the garbage of one run
# is not charged to the next. (Large arrays come from fresh memory or from
# memory used before, as the allocator decides, so single runs of the same
# work can differ by tens of milliseconds: the best run shows the work.)
median_seconds <- function(reps, f, setup = function(i) NULL) {
  runs <- vapply(seq_len(reps), function(i) {
    setup(i)
    invisible(gc(FALSE))
    seconds(f(i))
  }, numeric(2))
  c(wall = median(runs["wall", ]), best = min(runs["wall", ]), cpu = median(runs["cpu", ]))
}

stop_unless_ok <- function(code, what) {
  if (!identical(as.integer(code), 1L)) stop(sprintf("%s failed with code %d", what, code))
}
