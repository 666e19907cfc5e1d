# spread through .C as a host calls it once the package is loaded, and
# through cost_spread, which must agree with it.

spread_c <- function(surface, value, row, col, diagonal = 1L) {
  out <- .C("R_spread", result = integer(1), as.double(value), as.integer(row),
            as.integer(col), as.integer(nrow(surface)), as.integer(ncol(surface)),
            surface = as.double(t(surface)), as.integer(diagonal), PACKAGE = "mirl_lib")
  list(code = out$result, m = matrix(out$surface, nrow(surface), byrow = TRUE))
}

test_that("R_spread returns and stores the count on a zero surface", {
  out <- .C("R_spread", result = integer(1), 4.0, 2L, 3L, 3L, 4L,
            surface = double(12), 1L, PACKAGE = "mirl_lib")
  expect_equal(out$result, 12L)
  expect_equal(out$surface, rep(4.0, 12))
})

test_that("R_spread walks a uniform surface in Chebyshev rings", {
  r <- spread_c(matrix(1, 5, 5), 10, 3, 3, diagonal = 0L)
  expect_equal(r$code, 25L)
  expect_equal(r$m[3, 3], 10)
  expect_equal(r$m[1, 1], 8)
  expect_equal(r$m[1, 3], 8)
  w <- spread_c(matrix(1, 5, 5), 10, 3, 3)
  expect_equal(w$m[2, 2], 8.6)
  expect_equal(w$m[1, 1], 10 - 2 * 1.4)
  expect_identical(cost_spread(matrix(1, 5, 5), 10, 3, 3), w$m)
})

test_that("a non-square surface keeps its orientation on both roads", {
  s <- matrix(0, 2, 3)
  s[1, 3] <- -1  # barrier in row 1, column 3
  r <- spread_c(s, 5, 1, 1)
  expect_equal(r$code, 5L)
  expect_equal(r$m[1, 3], 0)
  expect_equal(r$m[2, 3], 5)
  expect_identical(cost_spread(s, 5, 1, 1), r$m)
})

test_that("R_spread stores every argument failure code it returns", {
  call <- function(value, row, col, nr, nc) {
    .C("R_spread", result = integer(1), as.double(value), as.integer(row), as.integer(col),
       as.integer(nr), as.integer(nc), surface = rep(1, 4), 0L, PACKAGE = "mirl_lib")
  }
  expect_equal(call(0, 1, 1, 2, 2)$result, -501L)
  expect_equal(call(-3, 1, 1, 2, 2)$result, -501L)
  expect_equal(call(5, 3, 1, 2, 2)$result, -502L)
  expect_equal(call(5, 1, 0, 2, 2)$result, -503L)
  expect_equal(call(5, 1, 1, 0, 2)$result, -502L)
  expect_equal(call(0, 1, 1, 2, 2)$surface, rep(1, 4))
})

test_that("NaN source values reach the library only when asked, and are refused", {
  expect_error(.C("R_spread", result = integer(1), NaN, 1L, 1L, 1L, 1L, surface = 0, 0L,
                  PACKAGE = "mirl_lib"))
  out <- .C("R_spread", result = integer(1), NaN, 1L, 1L, 1L, 1L, surface = 0, 0L,
            NAOK = TRUE, PACKAGE = "mirl_lib")
  expect_equal(out$result, -501L)
})

test_that("a spread with logging off writes no file, and clean_up is harmless", {
  dir <- local_temp_cwd()
  .C("clean_up", PACKAGE = "mirl_lib")
  .C("clean_up", PACKAGE = "mirl_lib")
  r <- spread_c(matrix(runif(400), 20, 20), 30, 10, 10)
  expect_gt(r$code, 1L)
  .C("clean_up", PACKAGE = "mirl_lib")
  r2 <- spread_c(matrix(0.5, 7, 9), 3, 1, 1)
  expect_gt(r2$code, 0L)
  expect_length(list.files(dir, all.files = TRUE, no.. = TRUE, recursive = TRUE), 0)
})
