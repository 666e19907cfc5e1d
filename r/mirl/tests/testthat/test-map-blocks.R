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
