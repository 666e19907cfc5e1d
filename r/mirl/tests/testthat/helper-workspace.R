# Fixtures for the grid tests: a fresh working directory, a workspace in it
# with a session that is closed when the test ends, and a grid server.

# A fresh empty directory that is the working directory for the rest of the
# calling test (and removed afterwards).
local_temp_cwd <- function(env = parent.frame()) {
  dir <- tempfile("mirl-test-")
  dir.create(dir)
  # Deferred actions run last first: back to the old directory, then remove.
  withr::defer(unlink(dir, recursive = TRUE), envir = env)
  withr::local_dir(dir, .local_envir = env)
  normalizePath(dir)
}

# A workspace directory ws/ in a fresh working directory.
local_workspace <- function(env = parent.frame()) {
  dir <- local_temp_cwd(env)
  ws <- file.path(dir, "ws")
  dir.create(ws)
  ws
}

# Closes the grid session when the calling test ends, whatever happens in it.
local_session_cleanup <- function(env = parent.frame()) {
  withr::defer(grid_close(), envir = env)
}

# An in-process session over a fresh workspace; returns the workspace.
local_inprocess_session <- function(env = parent.frame()) {
  ws <- local_workspace(env)
  local_session_cleanup(env)
  grid_open(workspace = ws)
  ws
}

# A grid server over root, stopped when the calling test ends.
local_server <- function(root, env = parent.frame(), ...) {
  server <- grid_server_start(root, ...)
  withr::defer(server$stop(), envir = env)
  server
}

# The condition of class mirl_error that expr signals (the test fails when it
# signals none).
mirl_condition <- function(expr) {
  e <- tryCatch({
    expr
    NULL
  }, mirl_error = function(e) e)
  expect_s3_class(e, "mirl_error")
  e
}

# A single-layer GeoTIFF grid directory name under ws, written by terra.
write_tif_grid <- function(ws, name, values, nrows, ncols, xmin, ymin, cell,
                           datatype = "FLT4S") {
  dir.create(file.path(ws, name))
  r <- terra::rast(nrows = nrows, ncols = ncols, xmin = xmin, xmax = xmin + ncols * cell,
                   ymin = ymin, ymax = ymin + nrows * cell, crs = "")
  terra::values(r) <- values
  terra::writeRaster(r, file.path(ws, name, "layer.tif"), datatype = datatype, overwrite = TRUE)
  invisible(r)
}
