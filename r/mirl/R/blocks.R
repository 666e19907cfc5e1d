#' Read and write blocks of a grid
#'
#' `grid_read_block()` reads the block of `nrows` x `ncols` cells whose
#' top-left cell is (`row`, `col`), widened by `margin` cells on every side;
#' cells outside the grid are `NA`. `grid_write_block()` merges a matrix into
#' a grid with its top-left cell at (`row`, `col`); cells outside the grid
#' are ignored. Blocks are the only way to the cells of a grid the server
#' keeps in block-only mode (see [grid_window()]).
#'
#' @param name The grid.
#' @param row,col The block's top-left cell, counted from 1.
#' @param nrows,ncols The block's size without the margin.
#' @param margin Extra cells read on every side.
#' @param as `"matrix"` or `"SpatRaster"` (the block's cells placed in the
#'   access window's coordinates, with the CRS as [grid_read()] gives it).
#' @param x A matrix or single-layer SpatRaster. An integer matrix is sent as
#'   integers, anything else as floats.
#' @param mode How the block's cells change the grid's: `"opaque"` (each
#'   cell replaces the grid's, `NA` makes it no-data), `"transparent"` (`NA`
#'   cells leave the grid as it is) or `"additive"` (cells are added to the
#'   grid's; no-data grid cells take the block's value; `NA` cells leave the
#'   grid as it is).
#' @return `grid_read_block()`: a matrix (or SpatRaster) of `nrows + 2 *
#'   margin` rows and `ncols + 2 * margin` columns, of doubles. Integer grids
#'   read as whole doubles. `grid_write_block()`: `name`, invisibly.
#' @section Errors: [mirl_error] with the codes of `readblock` and
#'   `writeblock` (such as -702 for a row below 1) and the grid server's
#'   (such as -10007 for a grid it cannot find, or -10008 for one that
#'   cannot be opened, which is also what a block write gets after waiting
#'   30 s for another process that is writing the grid). Positions and
#'   sizes that are not whole numbers are R errors naming the argument. A
#'   SpatRaster `x` whose CRS is not the grid's is refused as by
#'   [grid_write()].
#' @examples
#' ws <- file.path(tempdir(), "block-example")
#' dir.create(ws, showWarnings = FALSE)
#' grid_open(workspace = ws)
#' grid_make_window(rows = 4, cols = 5, x_ll = 0, y_ll = 0, cell_size = 1)
#' grid_write("g", matrix(1:20, 4, 5))
#' grid_read_block("g", row = 1, col = 1, nrows = 2, ncols = 2, margin = 1)
#' grid_write_block("g", matrix(c(100, NA), 1, 2), row = 2, col = 2, mode = "transparent")
#' grid_read("g", as = "matrix")
#' grid_delete("g")
#' grid_close()
#' @export
grid_read_block <- function(name, row, col, nrows, ncols, margin = 0L,
                            as = c("matrix", "SpatRaster")) {
  as <- match.arg(as)
  scalar_string(name, "name")
  row <- whole_number(row, "row")
  col <- whole_number(col, "col")
  nrows <- whole_number(nrows, "nrows")
  ncols <- whole_number(ncols, "ncols")
  margin <- whole_number(margin, "margin")
  cells <- read_block_cells(name, row, col, nrows, ncols, margin, by_rows = as != "matrix")
  if (as == "matrix") return(cells)
  rows <- nrows + 2L * margin
  r <- window_raster(grid_window(), row - margin, col - margin, rows, ncols + 2L * margin, name)
  terra::values(r) <- cells
  r
}

#' @rdname grid_read_block
#' @export
grid_write_block <- function(name, x, row, col, mode = c("opaque", "transparent", "additive")) {
  mode <- match.arg(mode)
  g <- as_cells(x, "x")
  scalar_string(name, "name")
  row <- whole_number(row, "row")
  col <- whole_number(col, "col")
  with_raster_crs(name, x, function() {
    write_block_cells(name, g$values, g$nrow, g$ncol, row, col,
                      match(mode, c("opaque", "transparent", "additive")) - 1L)
  })
  invisible(name)
}

# The cells of a block as doubles with NA for no-data: row after row, or
# (by_rows FALSE) as a matrix.
read_block_cells <- function(name, row, col, nrows, ncols, margin, by_rows = TRUE) {
  out <- .Call(C_mirl_read_block$address, name, row, col, nrows, ncols, margin, by_rows)
  if (is.integer(out)) checked(out, "readblock", grid_context(name), call = sys.call(-1))
  out
}

# Writes cells (row after row) as a block; NA becomes no-data (opaque) or
# leaves the grid's cell alone (transparent, additive). Integers travel as
# integers with R's NA (INT_MIN) as the missing value, doubles as floats
# with the grid library's own float no-data marker.
write_block_cells <- function(name, cells, nrows, ncols, row, col, transparency) {
  out <- if (is.integer(cells)) {
    .C("R_writeblock_int", result = integer(1), name, row, col, as.integer(nrows),
       as.integer(ncols), NA_integer_, cells, as.integer(transparency), NAOK = TRUE,
       PACKAGE = "mirl_lib")
  } else {
    cells <- as.double(cells)
    cells[is.na(cells)] <- float_no_data
    .C("R_writeblock_dbl", result = integer(1), name, row, col, as.integer(nrows),
       as.integer(ncols), float_no_data, cells, as.integer(transparency), NAOK = TRUE,
       PACKAGE = "mirl_lib")
  }
  checked(out$result, "writeblock", grid_context(name), hint = busy_hint(out$result),
          call = sys.call(-1))
}

# What a write that could not open or create its grid may have met: the
# grid I/O library waits 30 s for another process that is writing the same
# grid, then gives up with these codes; they also stand for a grid whose
# files cannot be opened or created at all.
busy_hint <- function(code) {
  if (!code %in% c(-10008L, -10010L)) return(NULL)
  paste("another process may be writing the grid (a write waits 30 s for it), or its",
        "files cannot be opened or created")
}

# The largest negative float, which the grid library writes as no-data: a
# cell written with it is no-data whatever the caller meant.
float_no_data <- -3.4028234663852886e+38
