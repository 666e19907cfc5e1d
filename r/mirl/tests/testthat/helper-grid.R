# Oracles of the grid tests, written independently of the library, and the
# user's whole workflow over an open session.

# Block write modes: merges block into grid with its first cell at (row,
# col); NA is no-data on both sides.
merge_block <- function(grid, block, row, col, mode) {
  for (r in seq_len(nrow(block))) for (c in seq_len(ncol(block))) {
    gr <- row + r - 1
    gc <- col + c - 1
    if (gr < 1 || gr > nrow(grid) || gc < 1 || gc > ncol(grid)) next
    v <- block[r, c]
    g <- grid[gr, gc]
    grid[gr, gc] <- if (mode == "opaque") v else if (is.na(v)) g else
      if (mode == "transparent" || is.na(g)) v else g + v
  }
  grid
}

# The block of rows row.. and columns col.. of grid widened by margin,
# cells outside the grid NA.
padded_block <- function(grid, row, col, nrows, ncols, margin) {
  out <- matrix(NA_real_, nrows + 2 * margin, ncols + 2 * margin)
  for (r in seq_len(nrow(out))) for (c in seq_len(ncol(out))) {
    gr <- row - margin + r - 1
    gc <- col - margin + c - 1
    if (gr >= 1 && gr <= nrow(grid) && gc >= 1 && gc <= ncol(grid)) out[r, c] <- grid[gr, gc]
  }
  out
}

# Window, create, write, read, blocks in every mode, describe, list, copy,
# delete, over an open session whose grids live in ws and which has no
# window yet. Returns the float grid written, which stays in ws as "dem".
grid_workflow_checks <- function(ws) {
  w <- grid_make_window(rows = 3, cols = 4, x_ll = 200, y_ll = 100, cell_size = 10)
  expect_equal(unclass(w), list(rows = 3L, cols = 4L, x_ll = 200, y_ll = 100, cell_size = 10,
                                block_only = FALSE))
  expect_identical(grid_window(), w)

  grid_create("dem")
  expect_identical(mirl_condition(grid_create("dem"))$code_name, "ErrGridAlreadyExists")
  grid_create("cls", "integer")

  # Float-exact values, rows unlike columns so that a transposition shows.
  m <- matrix(c(1.5, 2, NA, 4, 5, 6, 7, 8, 9, 10, 11, -12.25), 3, 4, byrow = TRUE)
  grid_write("dem", m)
  expect_identical(grid_read("dem", as = "matrix"), m)
  r <- grid_read("dem")
  expect_equal(as.vector(terra::ext(r)), c(xmin = 200, xmax = 240, ymin = 100, ymax = 130))
  expect_identical(names(r), "dem")

  # The raw road still answers below the package: row after row, no-data as
  # the caller's missing value.
  raw <- .C("R_readgrid_dbl", result = integer(1), "dem", -99, cells = double(12),
            PACKAGE = "mirl_lib")
  expect_identical(raw$cells, c(1.5, 2, -99, 4, 5, 6, 7, 8, 9, 10, 11, -12.25))

  mi <- matrix(1:12, 3, 4)
  mi[2, 3] <- NA
  grid_write("cls", mi)
  expect_identical(grid_describe("cls")$cell_type, "integer")
  expect_identical(grid_read("cls", as = "matrix"), mi + 0)

  # Blocks: with a margin the cells outside the grid are missing.
  expect_identical(grid_read_block("dem", 2, 2, 2, 2, margin = 1), padded_block(m, 2, 2, 2, 2, 1))
  expect_identical(grid_read_block("cls", 3, 4, 1, 1, margin = 1),
                   padded_block(mi + 0, 3, 4, 1, 1, 1))
  corner <- grid_read_block("dem", 1, 1, 2, 2, margin = 1, as = "SpatRaster")
  expect_equal(as.vector(terra::ext(corner)), c(xmin = 190, xmax = 230, ymin = 100, ymax = 140))

  b <- matrix(c(NA, 100, 200, NA), 2, 2, byrow = TRUE)
  results <- list()
  for (mode in c("opaque", "transparent", "additive")) {
    grid_copy("dem", mode)
    grid_write_block(mode, b, 2, 3, mode = mode)
    results[[mode]] <- grid_read(mode, as = "matrix")
    expect_identical(results[[mode]], merge_block(m, b, 2, 3, mode), label = mode)
  }
  expect_false(identical(results$opaque, results$transparent))
  expect_false(identical(results$transparent, results$additive))
  expect_identical(mirl_condition(grid_copy("dem", "opaque"))$code, -10017L)
  # A block reaching past the grid's corner changes only the cell inside.
  grid_write_block("transparent", b * 0 + 5, 3, 4)
  expect_identical(grid_read("transparent", as = "matrix"),
                   merge_block(merge_block(m, b, 2, 3, "transparent"), b * 0 + 5, 3, 4, "opaque"))
  expect_error(grid_write_block("transparent", b, 1, 1, mode = "sideways"), "should be one of")

  d <- grid_describe("dem")
  cells <- as.vector(m)[!is.na(m)]
  expect_equal(d[c("rows", "cols", "x_ll", "y_ll", "cell_size", "cell_type")],
               list(rows = 3L, cols = 4L, x_ll = 200, y_ll = 100, cell_size = 10,
                    cell_type = "float"))
  expect_equal(c(d$min, d$max, d$mean, d$sd),
               c(min(cells), max(cells), mean(cells), sqrt(mean((cells - mean(cells))^2))),
               tolerance = 1e-6)
  expect_identical(nrow(grid_describe("dem", as = "data.frame")), 1L)

  expect_setequal(grid_list(), c("dem", "cls", "opaque", "transparent", "additive"))
  grid_delete("additive")
  e <- mirl_condition(grid_delete("additive"))
  expect_identical(e$code, -10007L)
  expect_false("additive" %in% grid_list())
  expect_identical(mirl_condition(grid_read("additive"))$code_name, "ErrGridCannotFind")
  m
}
