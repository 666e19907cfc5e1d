# R may unload and load the library again; each load must give a fresh
# library, which needs the old one really gone from the process (Boost's
# serialization registrations used to pin it), and the package must work
# on the library loaded anew.

installed_library <- function() {
  normalizePath(getLoadedDLLs()[["mirl_lib"]][["path"]])
}

mapped_in_process <- function(path) {
  any(grepl(path, readLines("/proc/self/maps"), fixed = TRUE))
}

test_that("three unload/load cycles leave a working, freshly mapped library", {
  path <- installed_library()
  have_maps <- file.exists("/proc/self/maps")
  for (cycle in 1:3) {
    dyn.unload(path)
    expect_false(is.loaded("R_spread", PACKAGE = "mirl_lib"))
    if (have_maps) expect_false(mapped_in_process(path), info = paste("cycle", cycle))
    dyn.load(path)
    expect_true(is.loaded("R_spread", PACKAGE = "mirl_lib"))
    if (have_maps) expect_true(mapped_in_process(path))
    expect_identical(cost_spread(matrix(0, 2, 3), 4, 1, 1), matrix(4, 2, 3))
  }
  # The package's .Call reads find the library loaded anew, not the old one.
  local_inprocess_session()
  grid_make_window(rows = 2, cols = 3, x_ll = 0, y_ll = 0, cell_size = 1)
  grid_write("g", matrix(1:6, 2, 3))
  expect_identical(grid_read("g", as = "matrix"), matrix(as.double(1:6), 2, 3))
})

test_that("the library's dynamic symbols have no GNU-unique binding", {
  readelf <- Sys.which("readelf")
  skip_if(readelf == "", "readelf not installed")
  out <- system2(readelf, c("--dyn-syms", "-W", shQuote(installed_library())), stdout = TRUE)
  expect_true(any(grepl("R_spread", out, fixed = TRUE)))
  expect_false(any(grepl("\\bUNIQUE\\b", out)))
})

test_that("the installed package refers to nothing of the tree it was built from", {
  readelf <- Sys.which("readelf")
  skip_if(readelf == "", "readelf not installed")
  dir <- dirname(installed_library())
  files <- c(file.path(dir, paste0(c("mirl_lib", "avgridio"), .Platform$dynlib.ext)),
             system.file("bin", "grid_server", package = "mirl"))
  expect_true(all(file.exists(files)))
  for (f in files) {
    dynamic <- system2(readelf, c("-d", "-W", shQuote(f)), stdout = TRUE)
    expect_false(any(grepl("RPATH|RUNPATH", dynamic)), label = basename(f))
  }
})
