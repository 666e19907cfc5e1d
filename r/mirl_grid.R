# Grid sessions and grids from R, through mirl_lib's .C interface.
#
# The library keeps grids row after row; R keeps matrices column after
# column. These wrappers take and give ordinary R matrices (rows x columns
# of the grid, row 1 the northern edge) and do the t() and byrow = TRUE on
# the way. Every result carries the library's result code: the functions
# returning data set attr(x, "code"); the others return the code itself.
# A code of 1 is success (see the export table for the others).
#
# Missing values: with missing = NA (the default) no-data cells read as NA
# and NA cells are written as no-data. Float grids cannot hold R's NA, so
# the wrappers send the float value -2^127 as the missing value and turn it
# back into NA; pass an explicit missing value to see the raw cells.

mirl_float_missing <- -2^127

mirl_ok <- function(code) identical(as.integer(code), 1L)

# Opens the session: io_mode 1 for a grid server at host source (port 0
# means 3339), io_mode 2 for the library's own server over the directory
# source. log = TRUE writes mirl_lib_log.txt and grid_server_log.txt into
# the working directory.
mirl_gridinit <- function(io_mode, source, port = 0L, log = FALSE) {
  .C("R_gridinit", result = integer(1), as.integer(io_mode), as.character(source),
     as.integer(port), as.integer(log), PACKAGE = "mirl_lib")$result
}

# Closes the session and its logs; safe at any time.
mirl_clean_up <- function() invisible(.C("clean_up", PACKAGE = "mirl_lib"))

mirl_window_list <- function(out) {
  list(code = out$result, rows = out$y_count, cols = out$x_count, y_ll = out$y_ll,
       x_ll = out$x_ll, cell_size = out$cell_size, block_only = out$block_only)
}

# The access window: from a grid's extent, from explicit geometry, or the one
# in force. Each returns list(code, rows, cols, y_ll, x_ll, cell_size,
# block_only).
mirl_setwindow <- function(grid) {
  mirl_window_list(.C("R_setwindow", result = integer(1), as.character(grid),
                      y_count = integer(1), x_count = integer(1), y_ll = double(1),
                      x_ll = double(1), cell_size = double(1), block_only = integer(1),
                      PACKAGE = "mirl_lib"))
}

mirl_makewindow <- function(rows, cols, y_ll, x_ll, cell_size) {
  mirl_window_list(.C("R_makewindow", result = integer(1), y_count = as.integer(rows),
                      x_count = as.integer(cols), y_ll = as.double(y_ll), x_ll = as.double(x_ll),
                      cell_size = as.double(cell_size), block_only = integer(1),
                      PACKAGE = "mirl_lib"))
}

mirl_getwindow <- function() {
  mirl_window_list(.C("R_getwindow", result = integer(1), y_count = integer(1),
                      x_count = integer(1), y_ll = double(1), x_ll = double(1),
                      cell_size = double(1), block_only = integer(1), PACKAGE = "mirl_lib"))
}

# The missing value sent for a read or write, and how its cells come back.
mirl_missing_for <- function(missing, integer_cells) {
  if (!is.na(missing)) return(if (integer_cells) as.integer(missing) else as.double(missing))
  if (integer_cells) NA_integer_ else mirl_float_missing
}

mirl_restore_na <- function(cells, missing) {
  # A double read of an integer grid brings no-data as INT_MIN.
  if (is.na(missing) && is.double(cells)) cells[cells == mirl_float_missing |
                                                 cells == -2147483648] <- NA
  cells
}

mirl_as_cells <- function(m, missing) {
  cells <- as.vector(t(m))
  if (is.na(missing) && is.double(cells)) cells[is.na(cells)] <- mirl_float_missing
  cells
}

mirl_coded <- function(x, code) {
  attr(x, "code") <- code
  x
}

# Reads a whole grid through the access window into a rows x cols matrix
# (the window's size unless given). type "double" or "integer".
mirl_readgrid <- function(grid, missing = NA, type = c("double", "integer"), rows = NULL,
                          cols = NULL) {
  type <- match.arg(type)
  if (is.null(rows) || is.null(cols)) {
    w <- mirl_getwindow()
    if (!mirl_ok(w$code)) return(mirl_coded(matrix(NA, 0, 0), w$code))
    rows <- w$rows
    cols <- w$cols
  }
  integer_cells <- type == "integer"
  miss <- mirl_missing_for(missing, integer_cells)
  n <- as.integer(rows) * as.integer(cols)
  out <- if (integer_cells) {
    .C("R_readgrid_int", result = integer(1), as.character(grid), as.integer(miss),
       cells = rep(NA_integer_, n), NAOK = TRUE, PACKAGE = "mirl_lib")
  } else {
    .C("R_readgrid_dbl", result = integer(1), as.character(grid), as.double(miss),
       cells = rep(NA_real_, n), NAOK = TRUE, PACKAGE = "mirl_lib")
  }
  m <- matrix(mirl_restore_na(out$cells, missing), nrow = rows, byrow = TRUE)
  mirl_coded(m, out$result)
}

# Writes matrix m (integer or double) as the whole grid.
mirl_writegrid <- function(grid, m, missing = NA) {
  m <- as.matrix(m)
  integer_cells <- is.integer(m)
  miss <- mirl_missing_for(missing, integer_cells)
  cells <- mirl_as_cells(m, missing)
  if (integer_cells) {
    .C("R_writegrid_int", result = integer(1), as.character(grid), nrow(m), ncol(m),
       as.integer(miss), as.integer(cells), NAOK = TRUE, PACKAGE = "mirl_lib")$result
  } else {
    .C("R_writegrid_dbl", result = integer(1), as.character(grid), nrow(m), ncol(m),
       as.double(miss), as.double(cells), NAOK = TRUE, PACKAGE = "mirl_lib")$result
  }
}

# Reads the block of nrows x ncols cells whose first cell is (row, col),
# from 1, widened by margin cells on every side: a matrix of
# (nrows + 2 margin) x (ncols + 2 margin), cells outside the grid missing.
mirl_readblock <- function(grid, row, col, nrows, ncols, margin = 0L, missing = NA,
                           type = c("double", "integer")) {
  type <- match.arg(type)
  integer_cells <- type == "integer"
  miss <- mirl_missing_for(missing, integer_cells)
  rows <- as.integer(nrows) + 2L * as.integer(margin)
  cols <- as.integer(ncols) + 2L * as.integer(margin)
  n <- max(rows, 0L) * max(cols, 0L)
  args <- list(result = integer(1), as.character(grid), as.integer(row), as.integer(col),
               as.integer(nrows), as.integer(ncols), as.integer(margin))
  out <- if (integer_cells) {
    do.call(.C, c("R_readblock_int", args, list(as.integer(miss), cells = rep(NA_integer_, n),
                                                 NAOK = TRUE, PACKAGE = "mirl_lib")))
  } else {
    do.call(.C, c("R_readblock_dbl", args, list(as.double(miss), cells = rep(NA_real_, n),
                                                 NAOK = TRUE, PACKAGE = "mirl_lib")))
  }
  m <- matrix(mirl_restore_na(out$cells, missing), nrow = max(rows, 0L), byrow = TRUE)
  mirl_coded(m, out$result)
}

# Merges matrix m into the grid with its first cell at (row, col), from 1.
# transparency 0: opaque (missing cells become no-data); 1: missing cells
# leave the grid as it is; 2: adds m to the grid (no-data cells take m).
mirl_writeblock <- function(grid, m, row, col, missing = NA, transparency = 0L) {
  m <- as.matrix(m)
  integer_cells <- is.integer(m)
  miss <- mirl_missing_for(missing, integer_cells)
  cells <- mirl_as_cells(m, missing)
  if (integer_cells) {
    .C("R_writeblock_int", result = integer(1), as.character(grid), as.integer(row),
       as.integer(col), nrow(m), ncol(m), as.integer(miss), as.integer(cells),
       as.integer(transparency), NAOK = TRUE, PACKAGE = "mirl_lib")$result
  } else {
    .C("R_writeblock_dbl", result = integer(1), as.character(grid), as.integer(row),
       as.integer(col), nrow(m), ncol(m), as.double(miss), as.double(cells),
       as.integer(transparency), NAOK = TRUE, PACKAGE = "mirl_lib")$result
  }
}

# A grid's size, corner, cell size, cell type (1 integer, 2 float) and
# statistics, as a list with its code.
mirl_griddescribe <- function(grid) {
  out <- .C("R_griddescribe", result = integer(1), as.character(grid), rows = integer(1),
            cols = integer(1), y_ll = double(1), x_ll = double(1), cell_size = double(1),
            cell_type = integer(1), min = double(1), max = double(1), mean = double(1),
            sd = double(1), PACKAGE = "mirl_lib")
  out[[2]] <- NULL
  names(out)[1] <- "code"
  out
}

# The names of the grids under root ("" for the session's base directory).
# capacity bounds the characters the names and their separators may take.
mirl_gridlist <- function(root = "", capacity = 9999L) {
  out <- .C("R_gridlist", result = integer(1), as.character(root),
            list = strrep(" ", capacity), PACKAGE = "mirl_lib")
  names <- strsplit(out$list, " ", fixed = TRUE)[[1]]
  mirl_coded(names[names != ""], out$result)
}

mirl_gridkill <- function(grid) {
  .C("R_gridkill", result = integer(1), as.character(grid), PACKAGE = "mirl_lib")$result
}

# A new grid over the access window; type "double" (float cells) or
# "integer".
mirl_gridcreate <- function(grid, type = c("double", "integer")) {
  type <- match.arg(type)
  .C("R_gridcreate", result = integer(1), as.character(grid),
     if (type == "integer") 1L else 2L, PACKAGE = "mirl_lib")$result
}

mirl_gridcopy <- function(from, to) {
  .C("R_gridcopy", result = integer(1), as.character(from), as.character(to),
     PACKAGE = "mirl_lib")$result
}

# Asks a remote grid server (io mode 1) to stop.
mirl_gridserver_retire <- function() {
  .C("R_gridserver_retire", result = integer(1), PACKAGE = "mirl_lib")$result
}
