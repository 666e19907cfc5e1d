# R may unload and load the library again (dyn.unload/dyn.load); each load
# must give a fresh library, which needs the old one really gone from the
# process. Boost's serialization registrations are what used to pin it.

mirl_lib_path <- function() {
  normalizePath(file.path(mirl_lib_dir, paste0("mirl_lib", .Platform$dynlib.ext)))
}

mapped_in_process <- function(path) {
  any(grepl(path, readLines("/proc/self/maps"), fixed = TRUE))
}

test_that("three unload/load cycles leave a working, freshly mapped library", {
  path <- mirl_lib_path()
  have_maps <- file.exists("/proc/self/maps")
  for (cycle in 1:3) {
    mirl_unload(mirl_lib_dir)
    expect_false(is.loaded("R_spread", PACKAGE = "mirl_lib"))
    if (have_maps) expect_false(mapped_in_process(path), info = paste("cycle", cycle))
    mirl_load(mirl_lib_dir)
    expect_true(is.loaded("R_spread", PACKAGE = "mirl_lib"))
    if (have_maps) expect_true(mapped_in_process(path))
    r <- mirl_spread(matrix(0, 2, 3), 4, 1, 1)
    expect_equal(attr(r, "code"), 6L)
    expect_equal(as.vector(r), rep(4, 6))
  }
})

test_that("the library's dynamic symbols have no GNU-unique binding", {
  readelf <- Sys.which("readelf")
  skip_if(readelf == "", "readelf not installed")
  out <- system2(readelf, c("--dyn-syms", "-W", shQuote(mirl_lib_path())), stdout = TRUE)
  expect_true(any(grepl("R_spread", out, fixed = TRUE)))
  expect_false(any(grepl("\\bUNIQUE\\b", out)))
})
