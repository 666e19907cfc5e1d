# Layers written by the grid I/O library (avgridio) are ordinary GeoTIFFs that
# terra opens with the same values, extent and nodata, and rasters terra
# writes are layers the library reads. The library is reached through a small
# test shim in .C form (tests/gridio/r_gridio_shim.c).

shim_path <- file.path(mirl_build_dir, "tests", "gridio", "r_gridio_shim.so")
float_missing <- -3.4028234663852886e+38
int_missing <- -2147483647

gio <- function(name, ...) .C(name, result = integer(1), ..., PACKAGE = "r_gridio_shim")

load_shim <- function() {
  skip_if_not(file.exists(shim_path), "r_gridio_shim.so not built")
  skip_if_not_installed("terra")
  if (!is.loaded("gio_r_setup", PACKAGE = "r_gridio_shim")) dyn.load(shim_path)
  expect_equal(gio("gio_r_setup")$result, 1L)
}

# Writes a layer from an R matrix (row 1 = north) and returns its GeoTIFF.
write_layer <- function(dir, name, m, type, xll, yll, size) {
  out <- gio("gio_r_write_layer", as.character(file.path(dir, name)), as.integer(type),
             as.integer(nrow(m)), as.integer(ncol(m)), as.double(xll), as.double(yll),
             as.double(size), as.double(t(m)))
  expect_equal(out$result, 0L)
  file.path(dir, name, "layer.tif")
}

read_layer <- function(path, rows, cols, xll, yll, size) {
  out <- gio("gio_r_read_layer", as.character(path), as.integer(rows), as.integer(cols),
             as.double(xll), as.double(yll), as.double(size), values = double(rows * cols))
  expect_equal(out$result, 0L)
  matrix(out$values, nrow = rows, byrow = TRUE)
}

nodata_of <- function(file) {
  info <- terra::describe(file)
  line <- grep("NoData Value=", info, value = TRUE)
  as.numeric(sub(".*NoData Value=", "", line))
}

test_that("a float layer opens in terra with its values, extent and nodata", {
  load_shim()
  dir <- local_temp_cwd()
  m <- matrix(c(1.5, 2, 3, 4, float_missing, 6, 7, 8, 9, 10, 11, -12.25), nrow = 3, byrow = TRUE)
  tif <- write_layer(dir, "g", m, 2L, 100, 200, 10)
  expect_equal(list.files(file.path(dir, "g")), "layer.tif")
  r <- terra::rast(tif)
  expect_equal(c(terra::nrow(r), terra::ncol(r)), c(3, 4))
  expect_equal(as.vector(terra::ext(r)), c(xmin = 100, xmax = 140, ymin = 200, ymax = 230))
  expect_equal(terra::res(r), c(10, 10))
  expect_equal(nodata_of(tif), float_missing)
  v <- terra::values(r, mat = FALSE)
  expected <- as.vector(t(m))
  expected[expected == float_missing] <- NA
  expect_equal(v, expected)
  # terra's cell 1 is the north-west corner, as the library's window row 0.
  expect_equal(v[1:4], c(1.5, 2, 3, 4))
})

test_that("an integer layer opens in terra as INT4S with the integer marker as nodata", {
  load_shim()
  dir <- local_temp_cwd()
  m <- matrix(c(5L, int_missing, -7L, 2147483647L), nrow = 2, byrow = TRUE)
  tif <- write_layer(dir, "i", m, 1L, 0, 0, 1)
  r <- terra::rast(tif)
  expect_equal(terra::datatype(r), "INT4S")
  expect_equal(nodata_of(tif), int_missing)
  expect_equal(terra::values(r, mat = FALSE), c(5, NA, -7, 2147483647))
})

test_that("a raster terra writes into a directory of its own is a layer the library reads", {
  load_shim()
  dir <- local_temp_cwd()
  r <- terra::rast(nrows = 2, ncols = 3, xmin = 10, xmax = 16, ymin = 20, ymax = 24)
  terra::values(r) <- c(1, NA, 3, 4, 5, 6.5)
  dir.create(file.path(dir, "t"))
  terra::writeRaster(r, file.path(dir, "t", "from_terra.tif"), datatype = "FLT4S")
  cells <- read_layer(file.path(dir, "t"), 2, 3, 10, 20, 2)
  expect_equal(cells, matrix(c(1, float_missing, 3, 4, 5, 6.5), nrow = 2, byrow = TRUE))
  d <- gio("gio_r_describe", as.character(file.path(dir, "t")), out = double(12))
  expect_equal(d$result, 0L)
  valid <- c(1, 3, 4, 5, 6.5)
  expect_equal(d$out[1:3], c(2, 2, 3))
  expect_equal(d$out[4:7], c(10, 20, 16, 24))
  expect_equal(d$out[8:11], c(min(valid), max(valid), mean(valid),
                              sqrt(mean((valid - mean(valid))^2))))
  expect_equal(d$out[12], 2)
})

test_that("bad paths come back as negative codes, not errors", {
  load_shim()
  dir <- local_temp_cwd()
  writeLines("x", file.path(dir, "plain"))
  out <- gio("gio_r_read_layer", file.path(dir, "plain"), 1L, 1L, 0, 0, 1, values = double(1))
  expect_lt(out$result, 0L)
  d <- gio("gio_r_describe", file.path(dir, "missing"), out = double(12))
  expect_lt(d$result, 0L)
})

test_that("blocks a new layer never had read as NA in terra and take no space", {
  load_shim()
  dir <- local_temp_cwd()
  m <- matrix(float_missing, nrow = 300, ncol = 8192)
  m[1:100, 1:100] <- 2.5
  tif <- write_layer(dir, "s", m, 2L, 0, 0, 1)
  # One 256 x 256 tile of floats holds the written cells; the layer dense
  # would take 300 x 8192 x 4 bytes.
  expect_lt(file.size(tif), 300 * 8192 * 4 / 10)
  v <- terra::values(terra::rast(tif), mat = FALSE)
  expected <- as.vector(t(m))
  expected[expected == float_missing] <- NA
  expect_equal(v, expected)
})
