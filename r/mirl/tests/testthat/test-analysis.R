# The analysis functions as R users call them: R matrices the right way
# round, NA for missing cells, SpatRasters in and out. The algorithms
# themselves are the C++ tests' business; these cases tell the R layer's
# plausible faults apart (a transposition, a lost NA, a lost geometry).

# A raster of 3 rows and 4 columns with a CRS and a name of its own.
small_raster <- function(values) {
  r <- terra::rast(nrows = 3, ncols = 4, xmin = 10, xmax = 50, ymin = 0, ymax = 30,
                   crs = "EPSG:32631")
  terra::values(r) <- values
  names(r) <- "surface"
  r
}

test_that("cost_spread keeps the orientation and marks NA cells as barriers", {
  # A wall in column 2 with a gap at the bottom: the way round is longer.
  res <- matrix(1, 3, 4)
  res[1:2, 2] <- NA
  s <- cost_spread(res, value = 10, row = 1, col = 1, diagonal = FALSE)
  expect_identical(dim(s), c(3L, 4L))
  expect_true(all(is.na(s[1:2, 2])))
  expect_equal(s[1, 3], 10 - 4)  # down, through the gap, up
  expect_equal(s[3, 2], 10 - 2)
  # Non-square and not symmetric: t() in the wrong place would show.
  expect_equal(cost_spread(matrix(0, 2, 5), 3, 2, 5), matrix(3, 2, 5))
})

test_that("cost_spread on a SpatRaster returns a SpatRaster of the same geometry", {
  r <- small_raster(c(1, 1, 1, 1, 1, NA, 1, 1, 1, 1, 1, 1))
  s <- cost_spread(r, value = 5, row = 1, col = 1, diagonal = FALSE)
  expect_s4_class(s, "SpatRaster")
  expect_true(terra::compareGeom(s, r, crs = TRUE))
  expect_identical(names(s), "surface")
  expect_identical(terra::crs(s), terra::crs(r))
  m <- cost_spread(terra::as.matrix(r, wide = TRUE), value = 5, row = 1, col = 1,
                   diagonal = FALSE)
  expect_identical(terra::as.matrix(s, wide = TRUE), m)
  expect_true(is.na(m[2, 2]))
  expect_error(cost_spread(c(r, r), 5, 1, 1), "single-layer")
})

test_that("wet_spread follows terra's flow directions and keeps NA cells missing", {
  dir <- matrix(1L, 3, 5)          # east
  dir[1, 2] <- 4L                  # (1,2) drains south into the channel of row 2
  dir[3, 5] <- NA
  cost <- matrix(1, 3, 5)
  cost[2, 4] <- NA                 # the channel ends before (2,4)
  wet <- wet_spread(cost, dir, value = 5, row = 2, col = 1)
  expect_equal(wet[2, ], c(5, 4, 3, NA, 0))
  expect_equal(wet[1, 2], 3)
  expect_true(is.na(wet[3, 5]))
  # The wetness passed in stays where the spread does not reach.
  before <- matrix(7, 3, 5)
  before[2, ] <- 0
  expect_equal(wet_spread(cost, dir, 2, 2, 1, wetness = before)[3, 1], 7)
})

test_that("a walk round a cycle that costs nothing is refused with what it wrote", {
  pit <- matrix(c(1L, 16L), 1, 2)  # two cells draining into each other
  e <- mirl_condition(wet_spread(matrix(0, 1, 2), pit, value = 3, row = 1, col = 1))
  expect_identical(e$code_name, "EndlessWalk")
  expect_equal(e$wetness, matrix(3, 1, 2))
})

test_that("patch_scan numbers patches from 1 as terra does, NA where no patch is", {
  m <- matrix(c(1L, 1L, 2L,
                2L, 1L, 2L,
                1L, 2L, 2L), 3, byrow = TRUE)
  four <- patch_scan(m, 4)
  expect_identical(unclass(four)[, ], matrix(c(1L, 1L, 2L, 3L, 1L, 2L, 4L, 2L, 2L), 3,
                                             byrow = TRUE))
  expect_identical(attr(four, "count"), 4L)
  expect_identical(attr(patch_scan(m, 8), "count"), 2L)
  m[2, 2] <- NA
  m[1, 1] <- -9L
  p <- patch_scan(m, 4, missing = 2L)
  # Missing, negative and NA cells are in no patch: NA, whatever they held.
  expect_identical(is.na(unclass(p)[, ]), is.na(m) | m == 2L | m < 0L)
  expect_identical(c(p[1, 2], p[3, 1]), c(1L, 2L))
  expect_identical(attr(p, "count"), 2L)  # (1,2) and (3,1)
  # A 0 is a value like any other, and its patch is numbered too.
  expect_identical(unclass(patch_scan(matrix(0L, 1, 2)))[, , drop = FALSE], matrix(1L, 1, 2))
  expect_identical(mirl_condition(patch_scan(m, 6))$code, -224L)
})

test_that("patch_scan on a SpatRaster agrees with terra's patches", {
  set.seed(3)
  r <- terra::rast(nrows = 30, ncols = 40, xmin = 0, xmax = 40, ymin = 0, ymax = 30)
  terra::values(r) <- sample(c(0, 1, NA), 1200, replace = TRUE, prob = c(0.45, 0.45, 0.1))
  ours <- patch_scan(r, 8)
  expect_true(terra::compareGeom(ours, r))
  theirs <- terra::patches(terra::ifel(r == 1, 1, NA), directions = 8)
  a <- terra::values(ours)[terra::values(r) %in% 1]
  b <- terra::values(theirs)[terra::values(r) %in% 1]
  # The same partition of the 1-cells: the numbers map one to one.
  pairs <- unique(data.frame(a, b))
  expect_identical(nrow(pairs), length(unique(a)))
  expect_identical(nrow(pairs), length(unique(b)))
  expect_true(all(is.na(terra::values(ours)[is.na(terra::values(r))])))
})

test_that("floyd_warshall closes a directed chain the right way round", {
  m <- matrix(0, 3, 3, dimnames = list(letters[1:3], letters[1:3]))
  m["a", "b"] <- 2
  m["b", "c"] <- 3
  closed <- floyd_warshall(m, "min_sum")
  expect_identical(closed["a", "c"], 5)
  expect_identical(closed["c", "a"], 0)
  p <- diag(3)
  p[1, 2] <- 0.5
  p[2, 3] <- 0.5
  p[1, 3] <- 0.2
  expect_identical(floyd_warshall(p)[1, 3], 0.25)
  e <- mirl_condition(floyd_warshall(p * 2))
  expect_identical(e$code_name, "NotAProbability")
  expect_error(floyd_warshall(matrix(0, 2, 3)), "square")
})

test_that("attribute_distance measures per cell on arrays and SpatRasters", {
  a <- array(c(0, 3, 7, 1,
               0, 4, 0, NA), c(2, 2, 2))  # cells (1,1) (2,1) (1,2) (2,2), two layers
  d <- attribute_distance(a, c(0, 0))
  expect_equal(d, matrix(c(0, 5, 7, 1), 2))
  expect_true(is.na(attribute_distance(a, c(0, 0), skip_missing = FALSE)[2, 2]))
  ai <- array(c(5L, 0L, 6L, 4L), c(1, 2, 2))
  expect_equal(attribute_distance(ai, c(NA, 2L)), matrix(c(4, 2), 1))
  r <- terra::rast(nrows = 2, ncols = 2, nlyrs = 2, xmin = 0, xmax = 2, ymin = 0, ymax = 2)
  terra::values(r) <- cbind(c(t(a[, , 1])), c(t(a[, , 2])))
  dr <- attribute_distance(r, c(0, 0))
  expect_identical(names(dr), "distance")
  expect_equal(terra::as.matrix(dr, wide = TRUE), d)
})

test_that("normal_density uses the library's 3.1415 and keeps shape and NA", {
  x <- matrix(c(0, 1.5, NA, -2), 2)
  d <- normal_density(x, mean = 0.5, sd = 2)
  expect_identical(dim(d), dim(x))
  expect_true(is.na(d[1, 2]))
  want <- exp(-(x - 0.5)^2 / 8) / (sqrt(2 * 3.1415) * 2)
  expect_equal(d, want, tolerance = 1e-14)
  expect_gt(normal_density(0) - stats::dnorm(0), 5e-6)
})

test_that("connect_rescale admits the masked cells and counts zero values' weight", {
  values <- matrix(c(0.5, 2, 4, 1, 0, 3), 2, byrow = TRUE)
  weights <- matrix(c(1, 2, 5, 1, 1, 1), 2, byrow = TRUE)
  mask <- matrix(c(TRUE, TRUE, FALSE, TRUE, TRUE, NA), 2, byrow = TRUE)
  dens <- function(x) exp(-x^2 / 2) / sqrt(2 * 3.1415)
  want <- dens(1 - values / 2) / (1 + 2 + 1 + 1)
  want[!(mask %in% TRUE) | values == 0] <- 0
  expect_equal(connect_rescale(values, weights, mask, divisor = 2, offset = 1), want,
               tolerance = 1e-14)
  expect_equal(connect_rescale_total(values, weights, mask, divisor = 2, offset = 1), sum(want),
               tolerance = 1e-14)
  # NA values are no data as 0 is: no density, but their weight counts. An
  # offset that would give the stand-in for NA a density tells them apart.
  values[1, 2] <- NA
  offset <- -1073741823.5
  want2 <- dens(offset - values / 2) / 5
  want2[is.na(want2) | !(mask %in% TRUE) | values %in% 0] <- 0
  expect_equal(connect_rescale(values, weights, mask, 2, offset), want2, tolerance = 1e-14)
  expect_identical(mirl_condition(connect_rescale(values, weights, mask, divisor = 0))$code,
                   -323L)
  expect_true(is.nan(connect_rescale_total(values, weights, mask & FALSE)))
})

test_that("the matrix utilities address cells as R does", {
  m <- matrix(0L, 3, 4)
  masked <- replace_masked(m, row(m) == 2 & col(m) >= 3, 7L)
  expect_identical(which(masked == 7L, arr.ind = TRUE), cbind(row = c(2L, 2L), col = 3:4))
  expect_identical(clip_box(masked), c(top = 2L, bottom = 2L, left = 3L, right = 4L))
  d <- sparse_put(matrix(0, 3, 4), cbind(c(3, 1), c(4, 2)), c(1.5, -2))
  expect_identical(d[3, 4], 1.5)
  expect_identical(d[1, 2], -2)
  expect_identical(sparse_get(d, cbind(c(1, 3, 2), c(2, 4, 2))), c(-2, 1.5, 0))
  e <- mirl_condition(sparse_put(m, cbind(c(1, 9), c(1, 1)), c(5L, 6L)))
  expect_identical(e$code_name, "CellOutside")
  expect_identical(e$result[1, 1], 5L)
  expect_identical(mirl_condition(clip_box(matrix(NA, 2, 2)))$code_name, "NoNonZeroCell")
})
