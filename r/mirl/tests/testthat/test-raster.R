# SpatRasters through grids and back, against terra reading and writing the
# same GeoTIFFs: the grids the library writes open in terra with their
# values, extent and no-data, and rasters terra writes are grids it reads.

layer_file <- function(ws, name) file.path(ws, name, "layer.tif")

test_that("a SpatRaster goes through a float grid with its values, extent and NA", {
  ws <- local_inprocess_session()
  r <- terra::rast(nrows = 7, ncols = 9, xmin = 440, xmax = 485, ymin = 5000, ymax = 5035,
                   crs = "")
  set.seed(5)
  v <- round(runif(63, -50, 50), 2)
  v[c(1, 17, 63)] <- NA
  terra::values(r) <- v
  grid_make_window(r)
  grid_write("surface", r)
  expect_equal(unclass(grid_window())[1:5],
               list(rows = 7L, cols = 9L, x_ll = 440, y_ll = 5000, cell_size = 5))
  back <- grid_read("surface")
  expect_true(terra::compareGeom(back, r))
  expect_identical(which(is.na(terra::values(back))), c(1L, 17L, 63L))
  expect_equal(terra::values(back, mat = FALSE), terra::values(r, mat = FALSE), tolerance = 1e-6)

  # The GeoTIFF itself, as terra reads it.
  from_file <- terra::rast(layer_file(ws, "surface"))
  expect_true(terra::compareGeom(from_file, r))
  expect_equal(terra::values(from_file, mat = FALSE), terra::values(r, mat = FALSE),
               tolerance = 1e-6)
  # Row 1 is the north: the first cell read is terra's first cell.
  expect_equal(grid_read("surface", as = "matrix")[1, 2], v[[2]], tolerance = 1e-6)
})

test_that("an integer grid is an INT4S GeoTIFF with the integer marker as no-data", {
  ws <- local_inprocess_session()
  grid_make_window(2, 2, 0, 0, 1)
  m <- matrix(c(5L, NA, -7L, 2147483647L), 2, byrow = TRUE)
  grid_write("classes", m)
  tif <- layer_file(ws, "classes")
  expect_identical(terra::datatype(terra::rast(tif)), "INT4S")
  info <- terra::describe(tif)
  expect_true(any(grepl("NoData Value=-2147483647", info, fixed = TRUE)))
  expect_identical(terra::values(terra::rast(tif), mat = FALSE), c(5, NA, -7, 2147483647))
  expect_identical(grid_read("classes", as = "matrix"), m + 0)
})

test_that("a raster terra writes into a directory of its own is a grid", {
  ws <- local_inprocess_session()
  r <- write_tif_grid(ws, "t", c(1, NA, 3, 4, 5, 6.5), nrows = 2, ncols = 3, xmin = 10,
                      ymin = 20, cell = 2)
  w <- grid_window("t")
  expect_identical(c(w$rows, w$cols, w$x_ll, w$y_ll, w$cell_size), c(2, 3, 10, 20, 2))
  expect_identical(grid_read("t", as = "matrix"), terra::as.matrix(r, wide = TRUE))
  d <- grid_describe("t")
  valid <- c(1, 3, 4, 5, 6.5)
  expect_equal(c(d$min, d$max, d$mean, d$sd),
               c(min(valid), max(valid), mean(valid), sqrt(mean((valid - mean(valid))^2))))
  # A raster of another geometry is not written over the window.
  other <- terra::rast(nrows = 2, ncols = 3, xmin = 0, xmax = 3, ymin = 0, ymax = 2)
  terra::values(other) <- 1
  expect_identical(mirl_condition(grid_write("t", other))$code_name, "ErrGridBadDimensions")
})

test_that("a file that is no grid and a missing grid give codes, not crashes", {
  ws <- local_inprocess_session()
  writeLines("x", file.path(ws, "plain"))
  dir.create(file.path(ws, "empty"))
  expect_identical(mirl_condition(grid_window("plain"))$code_name, "ErrGridCannotFind")
  grid_make_window(1, 1, 0, 0, 1)
  expect_lt(mirl_condition(grid_read("empty"))$code, 0L)
  expect_identical(mirl_condition(grid_describe("missing"))$code_name, "ErrGridCannotFind")
})

test_that("with no window at all a SpatRaster's geometry becomes the window", {
  ws <- local_workspace()
  local_session_cleanup()
  server <- local_server(ws)   # a fresh server has no window yet
  grid_open(host = server$host, port = server$port)
  expect_identical(mirl_condition(grid_window())$code_name, "ErrGridNoAccessWindow")
  r <- terra::rast(nrows = 3, ncols = 2, xmin = -6, xmax = 0, ymin = 60, ymax = 69)
  terra::values(r) <- c(1:5, NA)
  expect_error(grid_write("m", matrix(1, 3, 2)), class = "mirl_error")
  # terra gives the raster a CRS (lon/lat) that the server's packets cannot
  # carry: one warning says so.
  expect_warning(grid_write("r", r), class = "mirl_crs_warning")
  expect_equal(unclass(grid_window())[1:5],
               list(rows = 3L, cols = 2L, x_ll = -6, y_ll = 60, cell_size = 3))
  expect_identical(terra::values(grid_read("r"), mat = FALSE), terra::values(r, mat = FALSE))
})

test_that("blocks a new grid never had read as NA in terra and take no space", {
  ws <- local_inprocess_session()
  grid_make_window(300, 8192, 0, 0, 1)
  grid_create("sparse")
  m <- matrix(2.5, 100, 100)
  grid_write_block("sparse", m, 1, 1)
  tif <- layer_file(ws, "sparse")
  # The written cells fit in a few tiles; the grid dense would take
  # 300 x 8192 x 4 bytes.
  expect_lt(file.size(tif), 300 * 8192 * 4 / 10)
  v <- terra::values(terra::rast(tif), mat = TRUE)
  expected <- matrix(NA_real_, 300, 8192)
  expected[1:100, 1:100] <- 2.5
  expect_equal(matrix(v, 300, 8192, byrow = TRUE), expected)
})
