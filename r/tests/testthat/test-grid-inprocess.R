# The whole grid workflow in io mode 2: the library is its own grid server
# over a workspace directory.

local_workspace <- function(env = parent.frame()) {
  dir <- local_temp_cwd(env)
  ws <- file.path(dir, "ws")
  dir.create(ws)
  ws
}

test_that("a session in io mode 2 runs the whole workflow", {
  ws <- local_workspace()
  local_session_cleanup()
  expect_identical(mirl_gridinit(2, ws), 1L)
  grid_workflow_checks(ws)
  expect_identical(mirl_gridserver_retire(), -10019L)
  mirl_clean_up()
  # Without a session every export reports it.
  expect_identical(mirl_getwindow()$code, -630L)
  expect_identical(attr(mirl_readgrid("dem", rows = 3, cols = 4), "code"), -630L)
})

test_that("setwindow takes the extent of a GeoTIFF grid and readgrid its cells", {
  ws <- local_workspace()
  local_session_cleanup()
  r <- write_tif_grid(ws, "other", c(1:29, NA), nrows = 5, ncols = 6, xmin = 1000,
                      ymin = 2000, cell = 30)
  expect_identical(mirl_gridinit(2, ws), 1L)
  expect_identical(mirl_makewindow(3, 4, 0, 0, 10)$code, 1L)
  w <- mirl_setwindow("other")
  expect_identical(w, list(code = 1L, rows = 5L, cols = 6L, y_ll = 2000, x_ll = 1000,
                           cell_size = 30, block_only = 0L))
  cells <- mirl_readgrid("other")
  expect_identical(attr(cells, "code"), 1L)
  expect_equal(unclass(cells), structure(terra::as.matrix(r, wide = TRUE), code = 1L))
  # A grid that is not there leaves no window at all.
  expect_identical(mirl_setwindow("nothing")$code, -10013L)
  expect_identical(mirl_getwindow()$code, -10013L)
})

test_that("the window survives clean_up", {
  ws <- local_workspace()
  local_session_cleanup()
  expect_identical(mirl_gridinit(2, ws), 1L)
  expect_identical(mirl_makewindow(7, 8, 1, 2, 0.5)$code, 1L)
  mirl_clean_up()
  expect_identical(mirl_gridinit(2, ws), 1L)
  w <- mirl_getwindow()
  expect_identical(c(w$rows, w$cols), c(7L, 8L))
  expect_identical(c(w$y_ll, w$x_ll, w$cell_size), c(1, 2, 0.5))
})

test_that("with logging on the grid exports write their entries", {
  ws <- local_workspace()
  local_session_cleanup()
  expect_identical(mirl_gridinit(2, ws, log = TRUE), 1L)
  expect_identical(mirl_makewindow(2, 2, 0, 0, 1)$code, 1L)
  expect_identical(mirl_gridcreate("g", "integer"), 1L)
  expect_identical(mirl_writegrid("g", matrix(1:4, 2, 2)), 1L)
  block <- .C("R_readblock_int", result = integer(1), "g", 1L, 2L, 1L, 1L, 1L, -3L,
              cells = integer(9), PACKAGE = "mirl_lib")
  expect_identical(block$result, 1L)
  expect_identical(block$cells, c(-3L, -3L, -3L, 1L, 3L, -3L, 2L, 4L, -3L))
  mirl_clean_up()
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
  ws <- local_workspace()
  local_session_cleanup()
  expect_identical(mirl_gridinit(2, ws), 1L)
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
  expect_identical(mirl_makewindow(1, 1, 0, 0, 1)$code, 1L)
  expect_identical(attr(mirl_readgrid("absent", rows = 1, cols = 1), "code"), -10007L)
})
