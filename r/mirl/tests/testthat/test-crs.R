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

# The authority and code GDAL names for a CRS ("EPSG:3035"; "" for none).
crs_code <- function(crs) {
  if (!nzchar(crs)) return("")
  d <- terra::crs(crs, describe = TRUE)
  paste0(d$authority, ":", d$code)
}

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

# A 6 x 8 SpatRaster in crs over the cells crs_source makes.
crs_raster <- function(crs, xmin = 400000, ymin = 5000000, cell = 30) {
  r <- terra::rast(nrows = 6, ncols = 8, xmin = xmin, xmax = xmin + 8 * cell, ymin = ymin,
                   ymax = ymin + 6 * cell, crs = crs)
  terra::values(r) <- seq_len(48) / 2
  r
}

test_that("grids written from a SpatRaster, or on a window made from one, carry its CRS", {
  ws <- local_inprocess_session()
  crs_source(ws, "lonlat", "EPSG:4326", 10, 45, 0.25)  # the workspace shares no CRS then
  r <- crs_raster("EPSG:3035")
  grid_make_window(r)
  grid_write("a", r)
  grid_create("empty")
  for (name in c("a", "empty")) {
    expect_true(identical(crs_code(crs_of(ws, name)), "EPSG:3035"), label = name)
  }
  expect_true(identical(crs_code(terra::crs(grid_read("a"))), "EPSG:3035"))
  # A window from numbers forgets the raster's CRS; a raster written on it
  # brings its own, and the window does not keep it.
  grid_make_window(6, 8, 400000, 5000000, 30)
  grid_write("b", crs_raster("EPSG:32633"))
  expect_true(identical(crs_code(crs_of(ws, "b")), "EPSG:32633"))
  grid_write("c", matrix(1, 6, 8))
  expect_identical(crs_of(ws, "c"), "")
})

test_that("a SpatRaster in another CRS than the grid it is written into is refused", {
  ws <- local_inprocess_session()
  crs_source(ws, "utm", "EPSG:32633", 400000, 5000000, 30)
  grid_window("utm")
  before <- grid_read("utm", as = "matrix")
  e <- expect_error(grid_write("utm", crs_raster("EPSG:3035")),
                    "the raster's CRS (EPSG:3035 (ETRS89-extended / LAEA Europe)) is not the",
                    fixed = TRUE)
  expect_match(conditionMessage(e), "grid's (EPSG:32633 (WGS 84 / UTM zone 33N))", fixed = TRUE)
  expect_match(conditionMessage(e), "grid 'utm' in workspace", fixed = TRUE)
  expect_error(grid_write_block("utm", crs_raster("EPSG:3035"), 1, 1),
               "is not the grid's")
  expect_identical(grid_read("utm", as = "matrix"), before)
  # The same CRS is fine, and so is a raster without one.
  grid_write("utm", crs_raster("EPSG:32633"))
  no_crs <- crs_raster("")
  grid_write("utm", no_crs)
  expect_identical(grid_read("utm", as = "matrix"), terra::as.matrix(no_crs, wide = TRUE))
  expect_true(identical(crs_code(crs_of(ws, "utm")), "EPSG:32633"))
})

test_that("through a grid server a SpatRaster's CRS is warned about, not dropped silently", {
  ws <- local_workspace()
  local_session_cleanup()
  server <- local_server(ws)
  grid_open(host = server$host, port = server$port)
  r <- crs_raster("EPSG:3035")
  expect_warning(grid_make_window(r), "packets carry no CRS", class = "mirl_crs_warning")
  expect_warning(grid_write("a", r), "grid 'a' and the grids created with it take the server",
                 class = "mirl_crs_warning")
  expect_silent(grid_write("b", crs_raster("")))
})
