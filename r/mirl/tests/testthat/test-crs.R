# Grids the library creates carry the coordinate reference system of the grid
# that set the window, in the session's own process and through a grid
# server, as GDAL (through terra) reads it.

crs_source <- function(ws, name, crs, xmin, ymin, cell) {
  dir.create(file.path(ws, name))
  r <- terra::rast(nrows = 6, ncols = 8, xmin = xmin, xmax = xmin + 8 * cell, ymin = ymin,
                   ymax = ymin + 6 * cell, crs = crs)
  terra::values(r) <- seq_len(48)
  terra::writeRaster(r, file.path(ws, name, "layer.tif"), datatype = "FLT4S")
}

crs_of <- function(ws, name) terra::crs(terra::rast(file.path(ws, name, "layer.tif")))

# Sets the window from grid source, then creates and writes grid target on it.
write_on_window_of <- function(source, target) {
  grid_window(source)
  grid_create(target, "float")
  grid_write(target, matrix(2.5, 6, 8))
}

test_that("grids written on a window from a grid carry its CRS in both io modes", {
  ws <- local_workspace()
  local_session_cleanup()
  crs_source(ws, "utm", "EPSG:32633", 400000, 5000000, 30)
  crs_source(ws, "lonlat", "EPSG:4326", 10, 45, 0.25)
  for (source in c("utm", "lonlat")) {
    grid_open(workspace = ws)
    write_on_window_of(source, paste0(source, "_local"))
    # Read back in this process, a SpatRaster carries the grid's CRS.
    expect_identical(terra::crs(grid_read(paste0(source, "_local"))), crs_of(ws, source))
    grid_close()
    # A remote server keeps its first window: one server per source.
    server <- grid_server_start(ws)
    grid_open(host = server$host, port = server$port)
    write_on_window_of(source, paste0(source, "_remote"))
    expect_identical(terra::crs(grid_read(source)), "")
    grid_close()
    server$stop()
    for (where in c("_local", "_remote")) {
      expect_identical(crs_of(ws, paste0(source, where)), crs_of(ws, source))
    }
  }
  expect_true(grepl("UTM zone 33N", crs_of(ws, "utm_remote"), fixed = TRUE))
})

test_that("a window from numbers takes the workspace's one CRS, and none from two", {
  ws <- local_inprocess_session()
  crs_source(ws, "a", "EPSG:32633", 400000, 5000000, 30)
  crs_source(ws, "b", "EPSG:32633", 401000, 5001000, 30)
  grid_make_window(10, 10, 400500, 5000500, 20)
  grid_write("one", matrix(1, 10, 10))
  expect_identical(crs_of(ws, "one"), crs_of(ws, "a"))
  crs_source(ws, "c", "EPSG:4326", 10, 45, 0.25)
  grid_make_window(10, 10, 400500, 5000500, 25)
  grid_write("two", matrix(1, 10, 10))
  expect_identical(crs_of(ws, "two"), "")
})
