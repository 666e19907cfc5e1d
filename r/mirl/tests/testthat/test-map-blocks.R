# grid_map_blocks on future: bands with their margins, the cores written
# back, the same cells from two multisession workers as from a sequential
# run, all through a grid server on loopback.

# The mean of each cell's 3 x 3 neighbourhood (NA outside ignored): a band
# that arrives without its margin, at the wrong place or transposed shows in
# the result.
neighbourhood_mean <- function(m) {
  out <- m
  for (r in seq_len(nrow(m))) for (c in seq_len(ncol(m))) {
    rows <- max(1, r - 1):min(nrow(m), r + 1)
    cols <- max(1, c - 1):min(ncol(m), c + 1)
    out[r, c] <- mean(m[rows, cols], na.rm = TRUE)
  }
  out
}

test_that("bands with margins map as the whole grid does, in parallel as in sequence", {
  ws <- local_workspace()
  local_session_cleanup()
  server <- local_server(ws)
  grid_open(host = server$host, port = server$port)
  grid_make_window(23, 17, 0, 0, 1)
  set.seed(7)
  m <- matrix(round(runif(23 * 17, 0, 100)), 23, 17)
  m[5, 6] <- NA
  grid_write("in", m)
  want <- neighbourhood_mean(m)

  old <- future::plan(future::sequential)
  withr::defer(future::plan(old))
  grid_map_blocks("in", "seq", neighbourhood_mean, block_rows = 5L, margin = 1L)
  # Workers started elsewhere than in the test's directory, which goes first.
  withr::with_dir(tempdir(), future::plan(future::multisession, workers = 2))
  # Each band records the process it ran in, to see that two took part.
  grid_map_blocks("in", "par", function(b) {
    cat(Sys.getpid(), "\n", file = file.path(ws, "pids"), append = TRUE)
    neighbourhood_mean(b)
  }, block_rows = 5L, margin = 1L)
  future::plan(future::sequential)
  sequential <- grid_read("seq", as = "matrix")
  expect_equal(sequential, want, tolerance = 1e-6)
  expect_identical(grid_read("par", as = "matrix"), sequential)
  pids <- unique(scan(file.path(ws, "pids"), quiet = TRUE))
  expect_length(pids, 2)
  expect_false(Sys.getpid() %in% pids)

  # A function that returns the core alone is taken as it is.
  grid_map_blocks("in", "core", function(b) b[2:(nrow(b) - 1), 2:(ncol(b) - 1)] * 2,
                  block_rows = 7L, margin = 1L)
  expect_identical(grid_read("core", as = "matrix"), m * 2)
  expect_error(grid_map_blocks("in", "bad", function(b) b[-1, ], block_rows = 7L),
               "returned a 6 x 17 matrix")
})

test_that("a session on a workspace maps in sequence and refuses parallel workers", {
  ws <- local_inprocess_session()
  grid_make_window(4, 3, 0, 0, 1)
  grid_write("in", matrix(1:12, 4, 3))
  grid_map_blocks("in", "out", function(b) b + 1, block_rows = 3L)
  expect_identical(grid_read("out", as = "matrix"), matrix(1:12, 4, 3) + 1)
  old <- withr::with_dir(tempdir(), future::plan(future::multisession, workers = 2))
  withr::defer(future::plan(old))
  expect_error(grid_map_blocks("in", "out", identity), "need a grid server")
})

test_that("a map into its own input reads every band as it was before the map", {
  local_inprocess_session()
  grid_make_window(13, 6, 0, 0, 1)
  m <- matrix(as.double(1:78) %% 7, 13, 6)
  grid_write("g", m)
  # Bands of 3 rows whose margins reach into the bands before and after:
  # read from a grid already written, they would hold the mapped values.
  grid_map_blocks("g", "g", neighbourhood_mean, block_rows = 3L, margin = 1L)
  expect_equal(grid_read("g", as = "matrix"), neighbourhood_mean(m), tolerance = 1e-6)
  expect_identical(grid_list(), "g")
  expect_identical(grid_describe("g")$cell_type, "float")
})

test_that("an existing integer grid takes whole results as integers and refuses others", {
  local_inprocess_session()
  grid_make_window(4, 3, 0, 0, 1)
  grid_write("in", matrix(c(30.49, 1, 2, 3), 4, 3))
  big <- matrix(c(1000000L, -7L, 0L), 4, 3)
  grid_write("ints", big)
  grid_map_blocks("ints", "ints", function(b) b + 2, block_rows = 2L)
  expect_identical(grid_read("ints", as = "matrix"), big + 2)
  expect_identical(grid_describe("ints")$cell_type, "integer")

  e <- expect_error(grid_map_blocks("in", "ints", identity, block_rows = 2L),
                    "not whole numbers for rows 1-2, and grid 'ints' is an integer grid")
  expect_match(conditionMessage(e), "grid 'ints' was left as it was: no band was written to it",
               fixed = TRUE)
  expect_identical(grid_read("ints", as = "matrix"), big + 2)
  expect_setequal(grid_list(), c("in", "ints"))
  # Into a new grid, the same map gives the float results.
  grid_map_blocks("in", "floats", identity, block_rows = 2L)
  expect_equal(grid_read("floats", as = "matrix")[1, 1], 30.49, tolerance = 1e-6)
})

test_that("a failed band removes the grid the map created and spares an existing one", {
  local_inprocess_session()
  grid_make_window(6, 2, 0, 0, 1)
  grid_write("in", matrix(1:12, 6, 2))
  grid_write("old", matrix(5, 6, 2))
  fails_late <- function(b) if (any(b > 8, na.rm = TRUE)) stop("no band above 8") else b
  e <- expect_error(grid_map_blocks("in", "new", fails_late, block_rows = 2L), "no band above 8")
  expect_match(conditionMessage(e), "grid 'new', which this call created, was removed",
               fixed = TRUE)
  expect_false("new" %in% grid_list())
  e <- expect_error(grid_map_blocks("in", "old", fails_late, block_rows = 2L), "no band above 8")
  expect_match(conditionMessage(e), "grid 'old' was left as it was", fixed = TRUE)
  expect_identical(grid_read("old", as = "matrix"), matrix(5, 6, 2))
  expect_setequal(grid_list(), c("in", "old"))
  # A mirl_error from a band stays one, with its code.
  e <- expect_error(grid_map_blocks("absent", "new", identity), class = "mirl_error")
  expect_identical(e$code_name, "ErrGridCannotFind")
  expect_false("new" %in% grid_list())
})

test_that("a worker killed in the middle of a map leaves no half-written grid", {
  ws <- local_workspace()
  local_session_cleanup()
  server <- local_server(ws)
  grid_open(host = server$host, port = server$port)
  grid_make_window(8, 3, 0, 0, 1)
  grid_write("in", matrix(1:24, 8, 3))
  old <- withr::with_dir(tempdir(), future::plan(future::multisession, workers = 2))
  withr::defer(future::plan(old))
  # The band of rows 5-8 ends its worker's process.
  expect_error(grid_map_blocks("in", "out", function(b) {
    if (any(b > 20, na.rm = TRUE)) tools::pskill(Sys.getpid(), tools::SIGKILL)
    b
  }, block_rows = 4L), "which this call created, was removed")
  expect_false("out" %in% grid_list())
})
