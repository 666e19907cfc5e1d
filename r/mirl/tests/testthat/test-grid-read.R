# The forms grid_read and grid_read_block give, read through .Call straight
# into the result: a matrix transposed in tiles, a vector row after row, and
# no-data as NA from float and integer grids alike.

# A grid larger than one transposing tile in both directions and not square,
# so that a wrong tile edge or a swapped dimension shows.
tile_crossing_grid <- function(ws, name, datatype) {
  set.seed(7)
  values <- round(runif(70 * 45, -100, 100))
  values[sample.int(length(values), 60)] <- NA
  write_tif_grid(ws, name, values, nrows = 70, ncols = 45, xmin = 0, ymin = 0, cell = 1,
                 datatype = datatype)
}

test_that("matrix, vector and SpatRaster reads agree with terra on float and integer grids", {
  ws <- local_workspace()
  local_session_cleanup()
  server <- local_server(ws)
  grids <- list(flt = tile_crossing_grid(ws, "flt", "FLT4S"),
                int = tile_crossing_grid(ws, "int", "INT4S"))
  for (road in c("workspace", "server")) {
    if (road == "workspace") grid_open(workspace = ws) else
      grid_open(host = "127.0.0.1", port = server$port)
    grid_window("flt")  # both grids have its geometry
    for (name in names(grids)) {
      want <- terra::as.matrix(grids[[name]], wide = TRUE)
      want[is.nan(want)] <- NA
      info <- paste(road, name)
      m <- grid_read(name, as = "matrix")
      expect_identical(m, want, info = info)
      expect_identical(grid_read(name, as = "vector"), as.vector(t(want)), info = info)
      expect_identical(terra::values(grid_read(name), mat = FALSE), as.vector(t(want)),
                       info = info)
      # A block over the lower-right corner, its margin partly outside.
      block <- grid_read_block(name, 40, 20, 30, 26, margin = 3)
      outside <- matrix(NA_real_, 36, 32)
      outside[1:33, 1:29] <- want[37:69, 17:45]
      outside[34, 1:29] <- want[70, 17:45]
      expect_identical(block, outside, info = info)
      expect_identical(terra::values(grid_read_block(name, 40, 20, 30, 26, margin = 3,
                                                     as = "SpatRaster"), mat = FALSE),
                       as.vector(t(outside)), info = info)
    }
    grid_close()
  }
})

test_that("failed reads signal the library's code and allocate nothing first", {
  ws <- local_inprocess_session()
  grid_make_window(rows = 4, cols = 5, x_ll = 0, y_ll = 0, cell_size = 1)
  grid_write("g", matrix(1:20, 4, 5))
  for (as in c("matrix", "vector", "SpatRaster")) {
    expect_identical(mirl_condition(grid_read("absent", as = as))$code, -10007L)
  }
  expect_identical(mirl_condition(grid_read_block("g", 0, 1, 2, 2))$code, -702L)
  expect_identical(mirl_condition(grid_read_block("g", 1, 1, 0, 2))$code, -704L)
  # A margin that widens the block beyond 2^31 - 1 rows is refused by the
  # library, not met by an allocation of quintillions of cells.
  expect_identical(mirl_condition(grid_read_block("g", 1, 1, 2, 2, margin = 2e9))$code, -707L)
  expect_identical(grid_read_block("g", 4, 5, 1, 1), matrix(20))
})
