# The whole grid workflow in io mode 1, against the grid_server program
# started by the test on a port the system chooses.

skip_without_server <- function() {
  skip_if_not(file.exists(grid_server_path), "grid_server not built")
  skip_if_not_installed("processx")
}

local_remote_workspace <- function(env = parent.frame()) {
  dir <- local_temp_cwd(env)
  ws <- file.path(dir, "ws")
  dir.create(ws)
  ws
}

test_that("a session in io mode 1 runs the whole workflow and retires the server", {
  skip_without_server()
  ws <- local_remote_workspace()
  local_session_cleanup()
  server <- local_grid_server(ws)
  expect_false(is.na(server$port))
  expect_identical(mirl_gridinit(1, "127.0.0.1", server$port, log = TRUE), 1L)
  m <- grid_workflow_checks(ws)

  # The remote server keeps the first window it was given: makewindow hands
  # back the window in force (with code 1), setwindow says it exists.
  kept <- mirl_makewindow(5, 5, 0, 0, 1)
  expect_identical(kept, list(code = 1L, rows = 3L, cols = 4L, y_ll = 100, x_ll = 200,
                              cell_size = 10, block_only = 0L))
  kept <- mirl_setwindow("dem")
  expect_identical(kept$code, -10014L)
  expect_identical(c(kept$rows, kept$cols), c(3L, 4L))

  # A path that leaves the served root is refused, not served.
  expect_identical(attr(mirl_readgrid("../ws/dem"), "code"), -10005L)
  expect_identical(attr(mirl_readgrid(file.path(ws, "dem")), "code"), -10005L)

  expect_identical(mirl_gridserver_retire(), 1L)
  expect_true(server$process$wait(10000)$is_alive() == FALSE)
  expect_identical(server$process$get_exit_status(), 0L)
  mirl_clean_up()
  expect_true(grepl("Entering gridserver_retire\n  gridserver_retire request made\ngridserver_retire returned with code: 1\n",
                    session_log_text(), fixed = TRUE))
})

test_that("both roads read the same cells", {
  skip_without_server()
  ws <- local_remote_workspace()
  local_session_cleanup()
  values <- c(seq(-5, 5, length.out = 29), NA)
  r <- write_tif_grid(ws, "elev", values, nrows = 5, ncols = 6, xmin = 10, ymin = 20, cell = 2)
  server <- local_grid_server(ws)
  expect_identical(mirl_gridinit(1, "localhost", server$port), 1L)
  expect_identical(mirl_setwindow("elev")$code, 1L)
  remote <- mirl_readgrid("elev")
  remote_block <- mirl_readblock("elev", 2, 2, 3, 3, margin = 2)
  mirl_clean_up()

  expect_identical(mirl_gridinit(2, ws), 1L)
  expect_identical(mirl_setwindow("elev")$code, 1L)
  local <- mirl_readgrid("elev")
  expect_identical(attr(remote, "code"), 1L)
  expect_identical(remote, local)
  expect_identical(remote_block, mirl_readblock("elev", 2, 2, 3, 3, margin = 2))
  expect_equal(unclass(local), structure(terra::as.matrix(r, wide = TRUE), code = 1L),
               tolerance = 1e-7)
})

test_that("the client tells a missing server apart from a missing host", {
  skip_without_server()
  local_temp_cwd()
  local_session_cleanup()
  # Name resolution fails at once, before any attempt is made.
  expect_identical(mirl_gridinit(1, "no-such-host.invalid", 3339), -629L)
  expect_identical(mirl_gridkill("g"), -630L)
})
