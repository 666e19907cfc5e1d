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

# Wall-clock seconds that expr takes.
seconds <- function(expr) {
  t0 <- Sys.time()
  force(expr)
  as.numeric(difftime(Sys.time(), t0, units = "secs"))
}

# Median seconds over reps runs of f(i); a collection first so that the
# garbage of one run is not charged to the next.
median_seconds <- function(reps, f) {
  median(vapply(seq_len(reps), function(i) {
    invisible(gc(FALSE))
    seconds(f(i))
  }, numeric(1)))
}

stop_unless_ok <- function(code, what) {
  if (!identical(as.integer(code), 1L)) stop(sprintf("%s failed with code %d", what, code))
}
