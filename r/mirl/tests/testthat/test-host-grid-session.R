# Opening and closing grid sessions through .C, as a host does once the
# package is loaded.

gridinit_c <- function(io_mode, source, port = 0L, log = 0L) {
  .C("R_gridinit", result = integer(1), as.integer(io_mode), source, as.integer(port),
     as.integer(log), PACKAGE = "mirl_lib")
}

test_that("a bad io mode gives -621 and leaves its lines in the log", {
  local_temp_cwd()
  local_session_cleanup()
  out <- gridinit_c(3L, "host", 0L, 1L)
  expect_identical(out$result, -621L)
  expect_identical(gridinit_c(0L, "host")$result, -621L)
  expect_identical(session_log_text(),
                   "Entering gridinit\ngridinit returned with code: -621\nEntering gridinit\ngridinit returned with code: -621\n")
  # No session was opened: a grid export finds none.
  expect_identical(code_of("R_gridkill", "g"), -630L)
})

test_that("a missing source name gives -622, an empty host -624", {
  local_temp_cwd()
  local_session_cleanup()
  expect_identical(gridinit_c(1L, character(0))$result, -622L)
  expect_identical(gridinit_c(1L, "")$result, -624L)
  expect_identical(code_of("R_gridkill", "g"), -630L)
})

test_that("without logging no file is written", {
  dir <- local_temp_cwd()
  local_session_cleanup()
  ws <- file.path(dir, "ws")
  dir.create(ws)
  expect_identical(gridinit_c(3L, "x")$result, -621L)
  expect_identical(gridinit_c(2L, ws)$result, 1L)
  grid_make_window(2, 2, 0, 0, 1)
  grid_close()
  expect_identical(list.files(dir, recursive = TRUE), character(0))
})

test_that("a second gridinit gives -623 and the first session keeps working", {
  dir <- local_temp_cwd()
  local_session_cleanup()
  ws <- file.path(dir, "ws")
  dir.create(ws)
  expect_identical(gridinit_c(2L, ws)$result, 1L)
  expect_identical(gridinit_c(2L, ws)$result, -623L)
  expect_identical(gridinit_c(1L, "localhost")$result, -623L)
  expect_identical(code_of("R_gridserver_retire"), -10019L)
})

test_that("clean_up closes the session, twice in a row or with none open", {
  dir <- local_temp_cwd()
  ws <- file.path(dir, "ws")
  dir.create(ws)
  grid_close()
  expect_identical(gridinit_c(2L, ws)$result, 1L)
  grid_close()
  grid_close()
  expect_identical(code_of("R_gridserver_retire"), -630L)
  # A new session loads nothing anew and works at once.
  expect_identical(gridinit_c(2L, ws)$result, 1L)
  expect_identical(code_of("R_gridserver_retire"), -10019L)
  grid_close()
})

test_that("the session log holds the session parameters and the server log the requests", {
  dir <- local_temp_cwd()
  local_session_cleanup()
  ws <- file.path(dir, "ws")
  dir.create(ws)
  expect_identical(gridinit_c(2L, ws, -5L, 1L)$result, 1L)
  expect_identical(code_of("R_gridserver_retire"), -10019L)
  grid_close()
  expect_identical(session_log_text(), paste0(
    "Entering gridinit\n",
    "  Session parameters", indent(), "io_mode    : 2", indent(), "source_name: ", ws,
    indent(), "source_port: -5", indent(), "do_log     : 1\n",
    "gridinit returned with code: 1\n",
    "Entering gridserver_retire\n",
    "  gridserver_retire request made\n",
    "gridserver_retire returned with code: -10019\n"))
  server_log <- readLines("grid_server_log.txt")
  expect_true(any(startsWith(sub("^[^|]*\\| ", "", server_log),
                             "GridServerRetire  | atResponse |  | ErrGridServerRetireBadIOMode")))
})

test_that("two logged sessions append to the same session log", {
  dir <- local_temp_cwd()
  local_session_cleanup()
  ws <- file.path(dir, "ws")
  dir.create(ws)
  expect_identical(gridinit_c(2L, ws, 0L, 1L)$result, 1L)
  grid_close()
  expect_identical(gridinit_c(2L, ws, 0L, 1L)$result, 1L)
  grid_close()
  log <- session_log_text()
  expect_identical(lengths(regmatches(log, gregexpr("gridinit returned with code: 1", log))), 2L)
})

test_that("without a session every grid export that passes its checks gives -630", {
  local_temp_cwd()
  grid_close()
  p <- "mirl_lib"
  codes <- c(
    .C("R_setwindow", result = integer(1), "g", 0L, 0L, 0, 0, 0, 0L, PACKAGE = p)$result,
    .C("R_makewindow", result = integer(1), 1L, 1L, 0, 0, 1, 0L, PACKAGE = p)$result,
    .C("R_getwindow", result = integer(1), 0L, 0L, 0, 0, 0, 0L, PACKAGE = p)$result,
    .C("R_readgrid_int", result = integer(1), "g", 0L, integer(1), PACKAGE = p)$result,
    .C("R_readgrid_dbl", result = integer(1), "g", 0, double(1), PACKAGE = p)$result,
    .C("R_writegrid_int", result = integer(1), "g", 1L, 1L, 0L, 1L, PACKAGE = p)$result,
    .C("R_writegrid_dbl", result = integer(1), "g", 1L, 1L, 0, 1, PACKAGE = p)$result,
    .C("R_readblock_int", result = integer(1), "g", 1L, 1L, 1L, 1L, 0L, 0L, integer(1),
       PACKAGE = p)$result,
    .C("R_readblock_dbl", result = integer(1), "g", 1L, 1L, 1L, 1L, 0L, 0, double(1),
       PACKAGE = p)$result,
    .C("R_writeblock_int", result = integer(1), "g", 1L, 1L, 1L, 1L, 0L, 1L, 0L,
       PACKAGE = p)$result,
    .C("R_writeblock_dbl", result = integer(1), "g", 1L, 1L, 1L, 1L, 0, 1, 2L,
       PACKAGE = p)$result,
    .C("R_gridlist", result = integer(1), "", "   ", PACKAGE = p)$result,
    .C("R_gridkill", result = integer(1), "g", PACKAGE = p)$result,
    .C("R_griddescribe", result = integer(1), "g", 0L, 0L, 0, 0, 0, 0L, 0, 0, 0, 0,
       PACKAGE = p)$result,
    .C("R_gridcreate", result = integer(1), "g", 1L, PACKAGE = p)$result,
    .C("R_gridcopy", result = integer(1), "a", "b", PACKAGE = p)$result,
    .C("R_gridserver_retire", result = integer(1), PACKAGE = p)$result)
  expect_identical(codes, rep(-630L, 17))
})
