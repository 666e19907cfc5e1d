# Arguments are checked at the R boundary and the error names the argument:
# a row of 2.7 is not row 2, "yes" is not TRUE, NA is not a number, and the
# library never sees a value it would truncate or misread.

test_that("indices and counts must be whole numbers", {
  m <- matrix(1, 5, 5)
  expect_error(cost_spread(m, 5, 2.7, 3), "`row` must be a whole number, not 2.7", fixed = TRUE)
  expect_error(cost_spread(m, 5, 2, 3.5), "`col` must be a whole number", fixed = TRUE)
  expect_error(cost_spread(m, 5, NA, 3), "`row` must be one number, not NA", fixed = TRUE)
  # Whole doubles are fine, and mean the cell they name.
  expect_identical(cost_spread(m, 5, 2, 3), cost_spread(m, 5, 2L, 3L))
  expect_error(wet_spread(m, matrix(1L, 5, 5), 5, 1.5, 1), "`row` must be a whole number")
  expect_error(patch_scan(matrix(1L, 2, 2), neighbours = 4.5), "`neighbours` must be a whole")
  # Checked before any session is needed.
  expect_error(grid_read_block("g", 1.5, 1, 2, 2), "`row` must be a whole number, not 1.5",
               fixed = TRUE)
  expect_error(grid_read_block("g", 1, 1, 2, 2, margin = 0.5), "`margin` must be a whole")
  expect_error(grid_write_block("g", matrix(1, 2, 2), 1, 2.2), "`col` must be a whole")
  expect_error(grid_map_blocks("a", "b", identity, block_rows = 2.5), "`block_rows` must be")
  expect_error(grid_map_blocks("a", "b", identity, margin = -1),
               "`margin` must be a whole number at least 0, not -1", fixed = TRUE)
})

test_that("flags are TRUE or FALSE and nothing else", {
  m <- matrix(1, 3, 3)
  for (bad in list("yes", NA, 1, c(TRUE, FALSE))) {
    expect_error(cost_spread(m, 5, 2, 2, diagonal = bad), "`diagonal` must be TRUE or FALSE",
                 fixed = TRUE)
  }
  expect_error(attribute_distance(array(1, c(1, 1, 1)), 0, skip_missing = "no"),
               "`skip_missing` must be TRUE or FALSE")
  expect_error(grid_open(workspace = tempdir(), log = "yes"), "`log` must be TRUE or FALSE")
  expect_error(grid_open(host = "127.0.0.1", patient = NA), "`patient` must be TRUE or FALSE")
  expect_null(grid_session())
})

test_that("numbers are numbers: a missing value, a port, a standard deviation", {
  expect_error(patch_scan(matrix(1L, 2, 2), missing = "a"),
               "`missing` must be one number, not \"a\"", fixed = TRUE)
  expect_identical(attr(patch_scan(matrix(1L, 2, 2), missing = 1L), "count"), 0L)
  expect_error(grid_open(host = "127.0.0.1", port = NA), "`port` must be one number, not NA",
               fixed = TRUE)
  expect_error(grid_open(host = "127.0.0.1", port = 70000),
               "`port` must be a whole number between 0 and 65535", fixed = TRUE)
  expect_error(grid_open(host = "127.0.0.1", port = 33.9), "`port` must be a whole number")
  expect_null(grid_session())
  # sd > 0: dnorm answers NaN for a negative one, the library a negative
  # density; here it is an error, and so is 0.
  expect_error(normal_density(0, sd = -1), "`sd` must be greater than 0, not -1", fixed = TRUE)
  expect_error(normal_density(0, sd = 0), "`sd` must be greater than 0")
  expect_error(normal_density(numeric(0), sd = 0), "`sd` must be greater than 0")
  expect_error(normal_density(matrix(1, 2, 2), sd = NA), "`sd` must be one number")
  expect_error(normal_density(1, mean = Inf), "`mean` must be a finite number")
  expect_error(connect_rescale(matrix(1), matrix(1), matrix(TRUE), divisor = NA), "`divisor`")
})

test_that("a bad window argument is named, not blamed on the window", {
  expect_error(grid_make_window(rows = 0, cols = 3, x_ll = 0, y_ll = 0, cell_size = 1),
               "`rows` must be a whole number at least 1, not 0", fixed = TRUE)
  expect_error(grid_make_window(3, 2.5, 0, 0, 1), "`cols` must be a whole number")
  expect_error(grid_make_window(3, 3, 0, 0, cell_size = -1),
               "`cell_size` must be greater than 0, not -1", fixed = TRUE)
  expect_error(grid_make_window(3, 3, NA, 0, 1), "`x_ll` must be one number, not NA",
               fixed = TRUE)
  expect_error(grid_make_window(3, 3, 0, Inf, 1), "`y_ll` must be a finite number")
  expect_error(grid_window(c("a", "b")), "`name` must be one string")
})

test_that("the spread's source may be a point or a cell number", {
  # 3 rows x 4 columns of 1 x 1 cells from (0, 0): the point (2.5, 0.5) lies
  # in the bottom row, third column.
  r <- terra::rast(nrows = 3, ncols = 4, xmin = 0, xmax = 4, ymin = 0, ymax = 3, crs = "")
  terra::values(r) <- 1
  by_rowcol <- cost_spread(r, 10, row = 3, col = 3)
  expect_identical(terra::values(cost_spread(r, 10, xy = c(2.5, 0.5))), terra::values(by_rowcol))
  # terra numbers cells row after row: cell 7 is row 2, column 3.
  expect_identical(terra::values(cost_spread(r, 10, cell = 7)),
                   terra::values(cost_spread(r, 10, row = 2, col = 3)))
  expect_identical(terra::cellFromRowCol(r, 2, 3), 7)
  # R indexes a matrix column after column: m[7] is row 1, column 3.
  m <- matrix(1, 3, 4)
  expect_identical(cost_spread(m, 10, cell = 7), cost_spread(m, 10, row = 1, col = 3))
  s <- cost_spread(m, 10, cell = 7)
  expect_identical(which(s == 10), 7L)

  expect_error(cost_spread(r, 10, xy = c(9, 9)), "`xy` (9, 9) lies outside the raster",
               fixed = TRUE)
  expect_error(cost_spread(m, 10, xy = c(1, 1)), "`xy` needs a SpatRaster")
  expect_error(cost_spread(m, 10, cell = 13), "`cell` must be a whole number between 1 and 12")
  expect_error(cost_spread(m, 10, cell = 2.5), "`cell` must be a whole number")
  expect_error(cost_spread(m, 10, row = 1, col = 1, cell = 2), "give the source once")
  expect_error(cost_spread(m, 10), "give the source once")
  expect_error(cost_spread(m, 10, row = 1), "give both `row` and `col`")
})
