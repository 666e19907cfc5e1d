# zdensity, connectivity rescaling, floyd_warshall and eudist through .C, as
# a host calls them. The library stores matrices row after row, so R
# matrices go in transposed and come back with byrow = TRUE.

host_density <- function(x, mean = 0, sd = 1) {
  exp(-(x - mean)^2 / (sd * sd * 2)) / (sqrt(2 * 3.1415) * sd)
}

fw_call <- function(m, mode) {
  out <- .C("R_floyd_warshall", result = integer(1), as.integer(nrow(m)),
            matrix = as.double(t(m)), as.integer(mode), NAOK = TRUE, PACKAGE = "mirl_lib")
  list(code = out$result, m = matrix(out$matrix, nrow = nrow(m), byrow = TRUE))
}

# The triple loop written in R, element by element.
fw_loop <- function(m, mode) {
  n <- nrow(m)
  for (k in seq_len(n)) for (i in seq_len(n)) for (j in seq_len(n)) {
    if (i == j) next
    a <- m[i, k]; b <- m[k, j]
    if (mode == 0) {
      p <- a * b
      if (p != 0 && p > m[i, j]) m[i, j] <- p
    } else if (a * b != 0 && (a + b < m[i, j] || m[i, j] == 0)) {
      m[i, j] <- a + b
    }
  }
  m
}

test_that("R_zdensity follows the 3.1415 formula and skips missing values", {
  x <- c(0, 1.5, -9999, -2, 40)
  out <- .C("R_zdensity", result = integer(1), 0.5, 2, length(x), data = x, -9999,
            PACKAGE = "mirl_lib")
  expect_equal(out$result, 1L)
  expect_equal(out$data[-3], host_density(x[-3], 0.5, 2), tolerance = 1e-14)
  expect_identical(out$data[3], -9999)
  one <- .C("R_zdensity", result = integer(1), 0, 1, 1L, data = 0, -1, PACKAGE = "mirl_lib")
  expect_gt(one$data - dnorm(0), 5e-6)  # not pi
})

test_that("R_zdensity refuses an empty count and leaves the data alone", {
  out <- .C("R_zdensity", result = integer(1), 0, 1, 0L, data = c(1, 2), -1,
            PACKAGE = "mirl_lib")
  expect_equal(out$result, -401L)
  expect_identical(out$data, c(1, 2))
  expect_equal(.C("R_zdensity", result = integer(1), 0, 1, -5L, 1, -1,
                  PACKAGE = "mirl_lib")$result, -401L)
})

rescale_call <- function(name, values, weights, mask, divisor = 1, offset = 0, missing = -1) {
  result <- if (name == "R_connect_rescale_matrix") double(length(values)) else double(1)
  out <- .C(name, code = integer(1), as.double(divisor), as.double(offset),
            as.integer(nrow(values)), as.integer(ncol(values)), as.double(missing),
            values = as.double(t(values)), as.double(t(weights)), as.integer(t(mask)),
            result = result, PACKAGE = "mirl_lib")
  if (name == "R_connect_rescale_matrix")
    out$result <- matrix(out$result, nrow = nrow(values), byrow = TRUE)
  out
}

test_that("connectivity rescaling normalises densities by the admitted weight", {
  values <- matrix(c(0.5, 2, 4, 1, 0, 3), nrow = 2, byrow = TRUE)
  weights <- matrix(c(1, 2, 5, 1, 1, 1), nrow = 2, byrow = TRUE)
  mask <- matrix(c(1L, 1L, -1L, 1L, 1L, -1L), nrow = 2, byrow = TRUE)
  w <- 1 + 2 + 1 + 1  # the zero value's weight counts too
  m <- rescale_call("R_connect_rescale_matrix", values, weights, mask, divisor = 2, offset = 1)
  expect_equal(m$code, 1L)
  want <- host_density(1 - values / 2) / w
  want[mask == -1L | values == 0] <- 0
  expect_equal(m$result, want, tolerance = 1e-14)
  s <- rescale_call("R_connect_rescale_scalar", values, weights, mask, divisor = 2, offset = 1)
  expect_equal(s$code, 1L)
  expect_equal(s$result, sum(want), tolerance = 1e-14)
  # The values come back as densities, missing where nothing was admitted.
  expect_equal(s$values[c(3, 5, 6)], c(-1, -1, -1))
  expect_equal(s$values[1], host_density(1 - 0.5 / 2), tolerance = 1e-14)
})

test_that("connectivity rescaling returns its argument codes", {
  v <- matrix(1, 2, 2); m <- matrix(1L, 2, 2)
  expect_equal(rescale_call("R_connect_rescale_matrix", v, v, m, divisor = 0)$code, -323L)
  expect_equal(rescale_call("R_connect_rescale_scalar", v, v, m, divisor = 0)$code, -303L)
  empty <- .C("R_connect_rescale_matrix", code = integer(1), 1, 0, 0L, 2L, -1, 1, 1, 1L, 1,
              PACKAGE = "mirl_lib")
  expect_equal(empty$code, -321L)
  expect_equal(.C("R_connect_rescale_scalar", code = integer(1), 1, 0, 2L, 0L, -1, 1, 1, 1L, 1,
                  PACKAGE = "mirl_lib")$code, -302L)
  none <- rescale_call("R_connect_rescale_scalar", v, v, matrix(-1L, 2, 2))
  expect_true(is.nan(none$result))
})

test_that("R_floyd_warshall closes a chain in both modes", {
  lengths <- matrix(c(0, 2, 0, 0, 0, 3, 0, 0, 0), 3, byrow = TRUE)
  r <- fw_call(lengths, 1)
  expect_equal(r$code, 1L)
  expect_equal(r$m[1, 3], 5)
  expect_equal(r$m[3, 1], 0)
  probs <- matrix(c(1, 0.5, 0.2, 0, 1, 0.5, 0, 0, 1), 3, byrow = TRUE)
  expect_equal(fw_call(probs, 0)$m[1, 3], 0.25)
})

test_that("R_floyd_warshall gives the triple loop's matrix bit for bit", {
  set.seed(11)
  n <- 23
  for (mode in 0:1) {
    m <- matrix(runif(n * n), n) * (runif(n * n) < 0.3)
    diag(m) <- if (mode == 0) 1 else 0
    if (mode == 1) m[5, 7] <- -0.25
    expect_identical(fw_call(m, mode)$m, fw_loop(m, mode))
  }
  m <- matrix(runif(n * n, 1, 3), n) * (runif(n * n) < 0.3)
  diag(m) <- -0.5  # a negative diagonal changes rows within their own pass
  expect_identical(fw_call(m, 1)$m, fw_loop(m, 1))
})

test_that("R_floyd_warshall returns its codes and leaves a refused matrix alone", {
  expect_equal(fw_call(matrix(0, 1, 1), 0)$code, -841L)
  expect_equal(fw_call(matrix(0, 2, 2), 2)$code, -843L)
  bad <- matrix(c(1, 1.5, 0.2, 1), 2)
  r <- fw_call(bad, 0)
  expect_equal(r$code, -844L)
  expect_identical(r$m, bad)
})

eudist_stack <- function(a) as.vector(unlist(lapply(seq_len(dim(a)[3]), function(k) t(a[, , k]))))

test_that("R_eudist_dbl and R_eudist_int measure per-cell distances", {
  set.seed(3)
  a <- array(rnorm(4 * 5 * 3, 10, 3), c(4, 5, 3))
  ref <- c(9, 11, 10)
  out <- .C("R_eudist_dbl", code = integer(1), 3L, 4L, 5L, -9999, ref, eudist_stack(a),
            result = double(20), 0L, PACKAGE = "mirl_lib")
  expect_equal(out$code, 1L)
  want <- sqrt((a[, , 1] - 9)^2 + (a[, , 2] - 11)^2 + (a[, , 3] - 10)^2)
  expect_equal(matrix(out$result, 4, byrow = TRUE), want, tolerance = 1e-14)

  ai <- array(c(5L, 0L, 6L, 4L), c(1, 2, 2))  # layer 1: 5 0, layer 2: 6 4
  outi <- .C("R_eudist_int", code = integer(1), 2L, 1L, 2L, -1L, c(-1L, 2L),
             eudist_stack(ai), result = double(2), 1L, PACKAGE = "mirl_lib")
  expect_equal(outi$code, 1L)
  expect_equal(outi$result, c(4, 2))  # the first layer's reference is missing
})

test_that("eudist returns its argument codes", {
  call <- function(layers, rows, cols) {
    .C("R_eudist_dbl", code = integer(1), as.integer(layers), as.integer(rows),
       as.integer(cols), -1, 1, 1, result = 7, 0L, PACKAGE = "mirl_lib")
  }
  expect_equal(call(0, 1, 1)$code, -101L)
  expect_equal(call(1, 0, 1)$code, -102L)
  expect_equal(call(1, 1, 0)$code, -103L)
  expect_equal(call(0, 1, 1)$result, 7)
})
