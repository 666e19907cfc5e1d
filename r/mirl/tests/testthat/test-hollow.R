# A window of 4000 x 4000 cells is beyond what the in-process server holds
# whole (the budget allows fewer than 7 such layers): it keeps only the
# grids' geometry ("Hollow"), refuses whole-grid reads and writes, and the
# package reads and writes such grids by bands of rows.

test_that("grids above the memory budget are written and read by bands", {
  ws <- local_inprocess_session()
  n <- 4000L
  w <- grid_make_window(n, n, 0, 0, 1)
  expect_true(w$block_only)
  # The whole-grid export refuses, as the package expects.
  expect_identical(code_of("R_readgrid_dbl", "g", 0, double(1)), -10016L)

  # Rows unlike each other and unlike columns, whole numbers exact in floats,
  # some missing, one on the last row (the last, shorter band).
  m <- matrix(as.double(seq_len(n)), n, n) * 10 + rep(seq_len(n) %% 7, each = n)
  m[cbind(c(1, 2500, n), c(n, 17, 1))] <- NA
  withr::local_options(progressr.enable = TRUE)
  steps <- 0L
  grid_write("g", m)
  expect_true(grid_describe("g")$cell_type == "float")
  back <- withCallingHandlers(grid_read("g", as = "matrix"), progression = function(p) {
    steps <<- steps + 1L
  })
  expect_gte(steps, 4L)
  expect_identical(back, m)

  # What is on disk is the whole grid, as terra reads it.
  on_disk <- terra::rast(file.path(ws, "g", "layer.tif"))
  expect_equal(dim(on_disk)[1:2], c(n, n))
  for (row in c(1L, 2500L, n)) {
    expect_identical(terra::values(on_disk, row = row, nrows = 1, mat = FALSE), m[row, ])
  }

  # Blocks of a Hollow grid: a write merged into the grid and read back.
  grid_write_block("g", matrix(-1, 3, 2), row = 1023, col = 5, mode = "additive")
  block <- grid_read_block("g", 1022, 4, 5, 4)
  expect_identical(block, padded_block(m, 1022, 4, 5, 4, 0) +
                     rbind(0, cbind(0, matrix(-1, 3, 2), 0), 0))
})
