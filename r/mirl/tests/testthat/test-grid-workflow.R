# The whole grid workflow on both roads: the library as its own grid server
# over a workspace (io mode 2), and the bundled grid_server over TCP (io
# mode 1).

test_that("a session on a workspace runs the whole workflow", {
  ws <- local_inprocess_session()
  grid_workflow_checks(ws)
  expect_identical(mirl_condition(grid_server_retire())$code_name,
                   "ErrGridServerRetireBadIOMode")
  grid_close()
  expect_null(grid_session())
  # Without a session every grid function says so.
  e <- mirl_condition(grid_window())
  expect_identical(list(e$code, e$code_name), list(-630L, "NoSession"))
  expect_identical(mirl_condition(grid_read("dem"))$code, -630L)
})

test_that("grid_window takes the extent of a GeoTIFF grid and grid_read its cells", {
  ws <- local_workspace()
  local_session_cleanup()
  r <- write_tif_grid(ws, "other", c(1:29, NA), nrows = 5, ncols = 6, xmin = 1000,
                      ymin = 2000, cell = 30)
  grid_open(workspace = ws)
  grid_make_window(3, 4, 0, 0, 10)
  w <- grid_window("other")
  expect_equal(unclass(w), list(rows = 5L, cols = 6L, x_ll = 1000, y_ll = 2000, cell_size = 30,
                                block_only = FALSE))
  expect_identical(grid_read("other", as = "matrix"), terra::as.matrix(r, wide = TRUE))
  # A grid that is not there is named so, and the window stays as it was.
  e <- mirl_condition(grid_window("nothing"))
  expect_identical(e$code_name, "ErrGridCannotFind")
  expect_match(conditionMessage(e), "grid 'nothing' in workspace", fixed = TRUE)
  expect_identical(grid_window(), w)
})

test_that("a session on a grid server runs the whole workflow and retires the server", {
  ws <- local_workspace()
  local_session_cleanup()
  server <- local_server(ws)
  expect_true(server$port > 0)
  grid_open(host = server$host, port = server$port)
  expect_identical(grid_session()[c("io_mode", "port")], list(io_mode = 1L, port = server$port))
  m <- grid_workflow_checks(ws)

  # The remote server keeps the first window it was given.
  expect_warning(kept <- grid_make_window(5, 5, 0, 0, 1), class = "mirl_window_kept")
  expect_identical(c(kept$rows, kept$cols), c(3L, 4L))
  e <- mirl_condition(grid_window("dem"))
  expect_identical(e$code_name, "ErrGridAccessWindowExists")
  expect_identical(e$window$cell_size, 10)

  # A path that leaves the served root is refused, not served.
  expect_identical(mirl_condition(grid_read("../ws/dem"))$code, -10005L)
  expect_identical(mirl_condition(grid_read(file.path(ws, "dem")))$code, -10005L)

  grid_server_retire()
  expect_false(server$process$wait(10000)$is_alive())
  expect_identical(server$process$get_exit_status(), 0L)
})

test_that("both roads read the same cells", {
  ws <- local_workspace()
  local_session_cleanup()
  r <- write_tif_grid(ws, "elev", c(seq(-5, 5, length.out = 29), NA), nrows = 5, ncols = 6,
                      xmin = 10, ymin = 20, cell = 2)
  server <- local_server(ws)
  grid_open(host = "localhost", port = server$port)
  grid_window("elev")
  remote <- grid_read("elev", as = "matrix")
  remote_block <- grid_read_block("elev", 2, 2, 3, 3, margin = 2)
  grid_close()

  grid_open(workspace = ws)
  grid_window("elev")
  expect_identical(remote, grid_read("elev", as = "matrix"))
  expect_identical(remote_block, grid_read_block("elev", 2, 2, 3, 3, margin = 2))
  expect_equal(remote, terra::as.matrix(r, wide = TRUE), tolerance = 1e-7)
})
