#' The access window
#'
#' Every grid is read and written through the session's access window: its
#' rows, columns, lower-left corner and cell size. `grid_window(name)` makes
#' the window the extent of a grid; `grid_make_window()` makes it from
#' numbers (or from a SpatRaster's geometry); `grid_window()` gives the
#' window in force.
#'
#' The in-process server replaces its window at every call. A remote grid
#' server keeps the first window it was given: `grid_make_window()` then
#' warns and returns the window kept, and `grid_window(name)` signals
#' `ErrGridAccessWindowExists` with that window in the condition's field
#' `window`.
#'
#' @param name A grid whose extent becomes the window; `NULL` to ask for the
#'   window in force.
#' @param rows,cols The window's size in cells, or in `rows` a SpatRaster
#'   whose geometry becomes the window.
#' @param x_ll,y_ll The lower-left corner.
#' @param cell_size The side of a (square) cell.
#' @return A list of class `mirl_window`: `rows`, `cols`, `x_ll`, `y_ll`,
#'   `cell_size` and `block_only` (`TRUE` when the server holds only the
#'   geometry of grids this large, "Hollow" mode: whole grids are then read
#'   and written through blocks, see [grid_read()]).
#' @section Errors: [mirl_error]: -10013 no window is set (or `name` cannot
#'   be found), -10014 a remote server keeps its window, -630 no session.
#' @examples
#' ws <- file.path(tempdir(), "window-example")
#' dir.create(ws, showWarnings = FALSE)
#' grid_open(workspace = ws)
#' grid_make_window(rows = 100, cols = 50, x_ll = 1000, y_ll = 2000, cell_size = 10)
#' grid_window()
#' grid_close()
#' @export
grid_window <- function(name = NULL) {
  if (is.null(name)) {
    out <- window_call("getwindow")
    checked(out$result, "getwindow", paste("access window of", session_place()))
    return(as_window(out))
  }
  scalar_string(name, "name")
  # The server answers a grid it cannot find with "no window" and drops the
  # window it had: a grid that is not there is refused before it is asked.
  known <- tryCatch(grid_describe(name), mirl_error = function(e) e)
  if (inherits(known, "mirl_error")) {
    mirl_fail(known$code, "setwindow", paste("access window from", grid_context(name)),
              call = sys.call())
  }
  out <- window_call("setwindow", name)
  window <- as_window(out)
  checked(out$result, "setwindow", paste("access window from", grid_context(name)),
          window = window)
  # The grid's own CRS, by the grid library's rule, not one named before.
  name_window_crs("")
  window
}

#' @rdname grid_window
#' @export
grid_make_window <- function(rows, cols, x_ll, y_ll, cell_size) {
  crs <- ""
  if (inherits(rows, "SpatRaster")) {
    r <- rows
    size <- terra::res(r)
    if (!isTRUE(all.equal(size[[1]], size[[2]]))) {
      stop("the window needs square cells; the raster's are ", size[[1]], " x ", size[[2]],
           call. = FALSE)
    }
    e <- as.vector(terra::ext(r))
    rows <- terra::nrow(r)
    cols <- terra::ncol(r)
    x_ll <- e[["xmin"]]
    y_ll <- e[["ymin"]]
    cell_size <- size[[1]]
    crs <- terra::crs(r)
  }
  asked <- list(rows = whole_number(rows, "rows", min = 1),
                cols = whole_number(cols, "cols", min = 1),
                x_ll = finite_number(x_ll, "x_ll"), y_ll = finite_number(y_ll, "y_ll"),
                cell_size = positive_number(cell_size, "cell_size"))
  out <- window_call("makewindow", values = list(y_count = asked$rows, x_count = asked$cols,
                                                 y_ll = asked$y_ll, x_ll = asked$x_ll,
                                                 cell_size = asked$cell_size,
                                                 block_only = integer(1)))
  window <- as_window(out)
  checked(out$result, "makewindow", paste("access window of", session_place()),
          window = window)
  if (!identical(unclass(window)[names(asked)], asked)) {
    warning(structure(class = c("mirl_window_kept", "warning", "condition"),
                      list(message = paste("the grid server keeps the window it has;",
                                           "the one asked for was not applied"),
                           call = sys.call(), window = window)))
  }
  if (identical(grid_session()$io_mode, 1L)) {
    if (nzchar(crs)) warn_no_crs("grids created on this window")
  } else {
    name_window_crs(crs)
  }
  window
}

# The six window values travel in and out in this order after the export's
# other arguments.
window_call <- function(export, name = NULL,
                        values = list(y_count = integer(1), x_count = integer(1),
                                      y_ll = double(1), x_ll = double(1), cell_size = double(1),
                                      block_only = integer(1))) {
  v <- values
  switch(export,
    setwindow = .C("R_setwindow", result = integer(1), name, y_count = v$y_count,
                   x_count = v$x_count, y_ll = v$y_ll, x_ll = v$x_ll, cell_size = v$cell_size,
                   block_only = v$block_only, NAOK = TRUE, PACKAGE = "mirl_lib"),
    makewindow = .C("R_makewindow", result = integer(1), y_count = v$y_count,
                    x_count = v$x_count, y_ll = v$y_ll, x_ll = v$x_ll, cell_size = v$cell_size,
                    block_only = v$block_only, NAOK = TRUE, PACKAGE = "mirl_lib"),
    getwindow = .C("R_getwindow", result = integer(1), y_count = v$y_count,
                   x_count = v$x_count, y_ll = v$y_ll, x_ll = v$x_ll, cell_size = v$cell_size,
                   block_only = v$block_only, NAOK = TRUE, PACKAGE = "mirl_lib"))
}

as_window <- function(out) {
  structure(list(rows = out$y_count, cols = out$x_count, x_ll = out$x_ll, y_ll = out$y_ll,
                 cell_size = out$cell_size, block_only = out$block_only != 0L),
            class = "mirl_window")
}

#' @export
print.mirl_window <- function(x, ...) {
  cat(sprintf("<mirl_window> %d x %d cells of %g from (%g, %g) to (%g, %g)%s\n", x$rows,
              x$cols, x$cell_size, x$x_ll, x$y_ll, x$x_ll + x$cols * x$cell_size,
              x$y_ll + x$rows * x$cell_size, if (x$block_only) ", block only" else ""))
  invisible(x)
}

# A SpatRaster over the window's cells from (row, col), counted from 1,
# nrows x ncols of them (they may reach outside the window), with the CRS
# of grid name where it can be known.
window_raster <- function(w, row = 1L, col = 1L, nrows = w$rows, ncols = w$cols, name = NULL) {
  top <- w$y_ll + (w$rows - row + 1) * w$cell_size
  left <- w$x_ll + (col - 1) * w$cell_size
  crs <- if (is.null(name)) "" else grid_crs(name, none = "")
  r <- terra::rast(nrows = nrows, ncols = ncols, xmin = left, xmax = left + ncols * w$cell_size,
                   ymin = top - nrows * w$cell_size, ymax = top, crs = crs)
  if (!is.null(name)) names(r) <- name
  r
}
