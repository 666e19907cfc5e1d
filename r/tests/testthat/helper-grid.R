# Support for the grid tests: the R wrappers, the session log without its
# time stamps, a grid server program started on a free port, and the R
# oracles the tests compare with.
source(file.path(dirname(dirname(getwd())), "mirl_grid.R"), local = FALSE)

grid_server_path <- file.path(Sys.getenv("MIRL_BUILD_DIR"), "gridserver", "grid_server")

# The session log of the working directory, "<stamp> | " prefixes removed.
session_log_text <- function(file = "mirl_lib_log.txt") {
  if (!file.exists(file)) return("")
  text <- paste0(paste(readLines(file, warn = FALSE), collapse = "\n"), "\n")
  gsub("(^|\n)[0-9]{4}-[A-Z][a-z]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} \\| ", "\\1", text)
}

# The same with every hexadecimal address replaced by "ADDR".
without_addresses <- function(text) {
  text <- gsub("0x[0-9a-f]+ \\|", "0xADDR |", text)
  gsub("(mtx_grid     : |mtx_block    : )[0-9a-f]+", "\\1ADDR", text)
}

# The 27 blanks in front of a parameter line.
indent <- function(blanks = 27) paste0("\n", strrep(" ", blanks))

# Closes the session when the calling test ends, whatever happens in it.
local_session_cleanup <- function(env = parent.frame()) {
  do.call(on.exit, list(quote(mirl_clean_up()), add = TRUE), envir = env)
}

# Starts grid_server over root on a port the system chooses and returns the
# process with its port; the process is killed when the calling test ends
# unless it has already stopped.
local_grid_server <- function(root, log = file.path(root, "..", "server.log"),
                              env = parent.frame()) {
  port_file <- tempfile("port-")
  proc <- processx::process$new(grid_server_path,
                                c("--root", root, "--port", "0", "--port-file", port_file,
                                  "--log", log),
                                stdout = "|", stderr = "|")
  do.call(on.exit, list(substitute(if (p$is_alive()) p$kill(), list(p = proc)), add = TRUE),
          envir = env)
  for (i in 1:200) {
    if (file.exists(port_file) && length(readLines(port_file, warn = FALSE)) > 0) break
    if (!proc$is_alive()) break
    Sys.sleep(0.05)
  }
  port <- suppressWarnings(as.integer(readLines(port_file, warn = FALSE)[1]))
  list(process = proc, port = port)
}

# Block write modes, independently of the library: merges block into grid
# with its first cell at (row, col); NA is no-data on both sides.
merge_block <- function(grid, block, row, col, mode) {
  for (r in seq_len(nrow(block))) for (c in seq_len(ncol(block))) {
    gr <- row + r - 1
    gc <- col + c - 1
    if (gr < 1 || gr > nrow(grid) || gc < 1 || gc > ncol(grid)) next
    v <- block[r, c]
    g <- grid[gr, gc]
    grid[gr, gc] <- if (mode == 0) v else if (is.na(v)) g else if (mode == 1 || is.na(g)) v
                    else g + v
  }
  grid
}

# The block of rows r0.. and columns c0.. of grid widened by margin,
# cells outside the grid NA.
padded_block <- function(grid, row, col, nrows, ncols, margin) {
  out <- matrix(NA_real_, nrows + 2 * margin, ncols + 2 * margin)
  for (r in seq_len(nrow(out))) for (c in seq_len(ncol(out))) {
    gr <- row - margin + r - 1
    gc <- col - margin + c - 1
    if (gr >= 1 && gr <= nrow(grid) && gc >= 1 && gc <= ncol(grid)) out[r, c] <- grid[gr, gc]
  }
  out
}

# A single-layer GeoTIFF grid directory name under ws, written with terra.
write_tif_grid <- function(ws, name, values, nrows, ncols, xmin, ymin, cell) {
  dir.create(file.path(ws, name))
  r <- terra::rast(nrows = nrows, ncols = ncols, xmin = xmin, xmax = xmin + ncols * cell,
                   ymin = ymin, ymax = ymin + nrows * cell, crs = "")
  terra::values(r) <- values
  terra::writeRaster(r, file.path(ws, name, "layer.tif"), datatype = "FLT4S",
                     overwrite = TRUE)
  invisible(r)
}

# The user's whole workflow over an open session whose base directory (or
# server root) is ws and which has no window yet: window, create, write,
# read, blocks in every mode, describe, list, copy, kill. Returns the float
# grid written, which stays in ws as "dem".
grid_workflow_checks <- function(ws) {
  w <- mirl_makewindow(3, 4, 100, 200, 10)
  expect_identical(w, list(code = 1L, rows = 3L, cols = 4L, y_ll = 100, x_ll = 200,
                           cell_size = 10, block_only = 0L))
  expect_identical(mirl_getwindow(), w)

  expect_identical(mirl_gridcreate("dem", "double"), 1L)
  expect_identical(mirl_gridcreate("dem", "double"), -10017L)
  expect_identical(mirl_gridcreate("cls", "integer"), 1L)

  # Float-exact values, rows unlike columns so that a transposition shows.
  m <- matrix(c(1.5, 2, NA, 4, 5, 6, 7, 8, 9, 10, 11, -12.25), 3, 4, byrow = TRUE)
  expect_identical(mirl_writegrid("dem", m), 1L)
  expect_identical(unclass(mirl_readgrid("dem")), structure(m, code = 1L))

  # The raw road: row after row, no-data as the caller's missing value.
  raw <- .C("R_readgrid_dbl", result = integer(1), "dem", -99, cells = double(12),
            PACKAGE = "mirl_lib")
  expect_identical(raw$result, 1L)
  expect_identical(raw$cells, c(1.5, 2, -99, 4, 5, 6, 7, 8, 9, 10, 11, -12.25))
  truncated <- .C("R_readgrid_int", result = integer(1), "dem", -7L, cells = integer(12),
                  PACKAGE = "mirl_lib")
  expect_identical(truncated$cells, c(1L, 2L, -7L, 4L, 5L, 6L, 7L, 8L, 9L, 10L, 11L, -12L))

  mi <- matrix(1:12, 3, 4)
  mi[2, 3] <- NA
  expect_identical(mirl_writegrid("cls", mi), 1L)
  expect_identical(as.vector(mirl_readgrid("cls", type = "integer")), as.vector(mi))
  expect_identical(as.vector(mirl_readgrid("cls")), as.vector(mi) + 0)

  # Blocks: with a margin the cells outside the grid are missing.
  expect_equal(unclass(mirl_readblock("dem", 2, 2, 2, 2, margin = 1)),
               structure(padded_block(m, 2, 2, 2, 2, 1), code = 1L))
  expect_equal(unclass(mirl_readblock("dem", 1, 1, 3, 4)), structure(m, code = 1L))
  edge <- .C("R_readblock_int", result = integer(1), "cls", 3L, 4L, 1L, 1L, 1L, -1L,
             cells = integer(9), PACKAGE = "mirl_lib")
  expect_identical(edge$cells, c(-1L, 11L, -1L, 9L, 12L, -1L, -1L, -1L, -1L))

  b <- matrix(c(NA, 100, 200, NA), 2, 2, byrow = TRUE)
  results <- list()
  for (mode in 0:2) {
    name <- paste0("t", mode)
    expect_identical(mirl_gridcopy("dem", name), 1L)
    expect_identical(mirl_writeblock(name, b, 2, 3, transparency = mode), 1L)
    results[[name]] <- as.vector(mirl_readgrid(name))
    expect_identical(results[[name]], as.vector(merge_block(m, b, 2, 3, mode)), label = name)
  }
  expect_false(identical(results$t0, results$t1))
  expect_false(identical(results$t1, results$t2))
  expect_identical(mirl_gridcopy("dem", "t0"), -10017L)
  # A block reaching past the grid's corner changes only the cell inside.
  expect_identical(mirl_writeblock("t1", b * 0 + 5, 3, 4, transparency = 0), 1L)
  expect_identical(as.vector(mirl_readgrid("t1")),
                   as.vector(merge_block(merge_block(m, b, 2, 3, 1), b * 0 + 5, 3, 4, 0)))
  expect_identical(mirl_writeblock("t1", b, 1, 1, transparency = 3), -727L)

  d <- mirl_griddescribe("dem")
  cells <- as.vector(m)[!is.na(m)]
  expect_identical(d[c("code", "rows", "cols", "y_ll", "x_ll", "cell_size", "cell_type")],
                   list(code = 1L, rows = 3L, cols = 4L, y_ll = 100, x_ll = 200,
                        cell_size = 10, cell_type = 2L))
  expect_equal(c(d$min, d$max, d$mean, d$sd),
               c(min(cells), max(cells), mean(cells), sqrt(mean((cells - mean(cells))^2))),
               tolerance = 1e-6)

  names <- mirl_gridlist()
  expect_identical(attr(names, "code"), 1L)
  expect_setequal(as.vector(names), c("dem", "cls", "t0", "t1", "t2"))
  short <- mirl_gridlist(capacity = 7)
  expect_identical(attr(short, "code"), -824L)
  expect_lte(sum(nchar(short) + 1), 7)

  expect_identical(mirl_gridkill("t2"), 1L)
  expect_identical(mirl_gridkill("t2"), -10007L)
  expect_false("t2" %in% mirl_gridlist())
  gone <- .C("R_readgrid_dbl", result = integer(1), "t2", 0, cells = rep(5, 12),
             PACKAGE = "mirl_lib")
  expect_identical(gone$result, -10007L)
  expect_identical(gone$cells, rep(5, 12))
  m
}
