# Shared by the grid session benchmark scripts: loading the library and the
# R wrappers, and timing.

bench_load <- function(build) {
  here <- dirname(normalizePath(sub("^--file=", "", grep("^--file=", commandArgs(),
                                                          value = TRUE)[1])))
  repo <- normalizePath(file.path(here, "..", ".."))
  source(file.path(repo, "r", "mirl.R"))
  source(file.path(repo, "r", "mirl_grid.R"))
  mirl_load(file.path(build, "lib"))
  invisible(repo)
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
