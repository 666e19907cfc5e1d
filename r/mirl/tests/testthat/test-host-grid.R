# The grid exports through .C, as a host calls them once the package is
# loaded: argument codes, logging, and what outlives a session.

test_that("the window survives clean_up", {
  ws <- local_inprocess_session()
  grid_make_window(7, 8, 2, 1, 0.5)
  grid_close()
  grid_open(workspace = ws)
  w <- grid_window()
  expect_identical(c(w$rows, w$cols), c(7L, 8L))
  expect_identical(c(w$y_ll, w$x_ll, w$cell_size), c(1, 2, 0.5))
})

test_that("with logging on the grid exports write their entries", {
  ws <- local_workspace()
  local_session_cleanup()
  grid_open(workspace = ws, log = TRUE)
  grid_make_window(2, 2, 0, 0, 1)
  grid_create("g", "integer")
  grid_write("g", matrix(1:4, 2, 2))
  block <- .C("R_readblock_int", result = integer(1), "g", 1L, 2L, 1L, 1L, 1L, -3L,
              cells = integer(9), PACKAGE = "mirl_lib")
  expect_identical(block$result, 1L)
  expect_identical(block$cells, c(-3L, -3L, -3L, 1L, 3L, -3L, 2L, 4L, -3L))
  grid_close()
  log <- without_addresses(session_log_text())
  I <- indent()
  expect_true(grepl(paste0(
    "Entering readblock\n  readblock initial parameters", I, "grid_name    : g", I,
    "y_start      : 1", I, "x_start      : 2", I, "y_count      : 1", I, "x_count      : 1", I,
    "buffer_size  : 1", I, "y_min        : -1", I, "x_min        : 0", I, "y_max        : 2",
    I, "x_max        : 3", I, "missing_value: -3", I, "cell_type    : 1", I,
    "mtx_block    : ADDR\nreadblock returned with code: 1\n"), log, fixed = TRUE))
  expect_true(grepl(paste0(
    "Entering gridcreate\n  gridcreate initial parameters", indent(23), "grid_name: g",
    indent(23), "cell_type: 1\n  gridcreate return parameters", indent(23), "grid_name: ",
    file.path(ws, "g"), indent(23), "cell_type: 1\ngridcreate returned with code: 1\n"),
    log, fixed = TRUE))
  expect_true(grepl(paste0(
    "Entering makewindow\n  makewindow initial parameters", I, "y_count   : 0xADDR |2", I,
    "x_count   : 0xADDR |2", I, "y_ll      : 0xADDR |0.000000", I,
    "x_ll      : 0xADDR |0.000000", I, "cell_size : 0xADDR |1.000000", I,
    "block_only: 0xADDR |0\n"), log, fixed = TRUE))
})

test_that("bad grid arguments give their codes without a server", {
  ws <- local_inprocess_session()
  expect_identical(.C("R_readgrid_dbl", result = integer(1), character(0), 0, double(1),
                      PACKAGE = "mirl_lib")$result, -662L)
  expect_identical(.C("R_writegrid_int", result = integer(1), "g", 0L, 5L, 0L, integer(5),
                      PACKAGE = "mirl_lib")$result, -683L)
  expect_identical(.C("R_writegrid_dbl", result = integer(1), "g", 1L, -1L, 0, double(1),
                      PACKAGE = "mirl_lib")$result, -684L)
  expect_identical(.C("R_readblock_dbl", result = integer(1), "g", 1L, 1L, 1L, 1L, -1L, 0,
                      double(1), PACKAGE = "mirl_lib")$result, -707L)
  expect_identical(.C("R_readblock_dbl", result = integer(1), character(0), 1L, 1L, 1L, 1L,
                      -1L, 0, double(1), PACKAGE = "mirl_lib")$result, -701L)
  expect_identical(.C("R_writeblock_int", result = integer(1), "g", 1L, 0L, 1L, 1L, 0L,
                      integer(1), 1L, PACKAGE = "mirl_lib")$result, -723L)
  expect_identical(.C("R_gridlist", result = integer(1), "", "", PACKAGE = "mirl_lib")$result,
                   -822L)
  expect_identical(.C("R_gridlist", result = integer(1), "", strrep(" ", 10000),
                      PACKAGE = "mirl_lib")$result, -823L)
  expect_identical(.C("R_gridlist", result = integer(1), character(0), " ",
                      PACKAGE = "mirl_lib")$result, -825L)
  expect_identical(.C("R_gridlist", result = integer(1), character(0), character(0),
                      PACKAGE = "mirl_lib")$result, -821L)
  expect_identical(.C("R_gridcreate", result = integer(1), "g", 3L,
                      PACKAGE = "mirl_lib")$result, -802L)
  expect_identical(.C("R_gridcopy", result = integer(1), "a", character(0),
                      PACKAGE = "mirl_lib")$result, -782L)
  expect_identical(.C("R_gridkill", result = integer(1), character(0),
                      PACKAGE = "mirl_lib")$result, -641L)
  expect_identical(.C("R_setwindow", result = integer(1), character(0), 0L, 0L, 0, 0, 0, 0L,
                      PACKAGE = "mirl_lib")$result, -601L)
  expect_identical(.C("R_griddescribe", result = integer(1), character(0), 0L, 0L, 0, 0, 0,
                      0L, 0, 0, 0, 0, PACKAGE = "mirl_lib")$result, -741L)
  grid_make_window(1, 1, 0, 0, 1)
  expect_identical(code_of("R_readgrid_dbl", "absent", 0, double(1)), -10007L)
})

test_that("the client tells a missing server apart from a missing host", {
  local_temp_cwd()
  local_session_cleanup()
  # Name resolution fails at once, before any attempt is made.
  e <- mirl_condition(grid_open(host = "no-such-host.invalid"))
  expect_identical(list(e$code, e$code_name), list(-629L, "PingFailed"))
  expect_null(grid_session())
  expect_identical(code_of("R_gridkill", "g"), -630L)
})
