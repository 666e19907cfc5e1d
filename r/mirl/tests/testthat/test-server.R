# The bundled grid_server as grid_server_start runs it.

test_that("a started server serves, stops on $stop() and says why it cannot start", {
  root <- local_workspace()
  server <- grid_server_start(root, log = file.path(dirname(root), "server.log"),
                              idle_timeout = 3000)
  expect_s3_class(server, "mirl_grid_server")
  expect_true(server$process$is_alive())
  expect_true(all(c("--idle-timeout", "3000") %in% server$command))
  expect_output(print(server), sprintf("127.0.0.1:%d, running", server$port))
  local_session_cleanup()
  grid_open(host = server$host, port = server$port)
  expect_identical(grid_list(), character(0))
  grid_close()
  expect_identical(server$stop(), 0L)
  expect_false(server$process$is_alive())
  expect_true(any(grepl("PingServer", readLines(file.path(dirname(root), "server.log")))))

  e <- expect_error(grid_server_start(root, no_such_option = 1), "did not start")
  expect_match(conditionMessage(e), "unknown option --no-such-option", fixed = TRUE)
  expect_error(grid_server_start(file.path(root, "absent")), "not a directory")
})

test_that("a server nobody holds any more is stopped by the garbage collector", {
  root <- local_workspace()
  process <- grid_server_start(root)$process
  expect_true(process$is_alive())
  gc()
  expect_false(process$wait(10000)$is_alive())
})
