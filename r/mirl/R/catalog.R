#' The grids of a session: list, describe, create, copy, delete
#'
#' * `grid_list()` names the grids in a directory of the server.
#' * `grid_describe()` gives a grid's own geometry, cell type and statistics.
#' * `grid_create()` makes a new grid over the access window, all no-data.
#' * `grid_copy()` copies a grid; `grid_delete()` deletes one.
#' * `grid_server_retire()` asks a remote grid server (io mode 1) to stop.
#'
#' @param root A directory on the server; `""` for the workspace (or the
#'   served root).
#' @param name The grid.
#' @param as `"list"` or `"data.frame"` (one row).
#' @param type The cell type, `"float"` or `"integer"`.
#' @param from,to The grid copied and the name of the copy.
#' @return `grid_list()`: a character vector of grid names.
#'   `grid_describe()`: `name`, `rows`, `cols`, `x_ll`, `y_ll`,
#'   `cell_size`, `cell_type` (`"integer"` or `"float"`), `min`, `max`,
#'   `mean` and `sd` (population standard deviation) of the valid cells.
#'   The others: the name, invisibly.
#' @section Errors: [mirl_error] with the codes of the exports (`gridlist`,
#'   `griddescribe`, `gridcreate`, `gridcopy`, `gridkill`,
#'   `gridserver_retire`) and the grid server's: -10007 a grid cannot be
#'   found, -10017 a grid of that name exists, -10013 no window (create),
#'   -10019 retiring the in-process server. `grid_list()` signals -824 when
#'   the names do not fit into 9999 characters; the names that fit are in
#'   the condition's field `names`.
#' @examples
#' ws <- file.path(tempdir(), "catalog-example")
#' dir.create(ws, showWarnings = FALSE)
#' grid_open(workspace = ws)
#' grid_make_window(rows = 3, cols = 4, x_ll = 100, y_ll = 200, cell_size = 10)
#' grid_create("a")
#' grid_write("a", matrix(c(1:11, NA), 3, 4))
#' grid_copy("a", "b")
#' grid_list()
#' grid_describe("b", as = "data.frame")
#' grid_delete("a"); grid_delete("b")
#' grid_close()
#' @name grid_catalog
NULL

#' @rdname grid_catalog
#' @export
grid_list <- function(root = "") {
  out <- .C("R_gridlist", result = integer(1), scalar_string(root, "root"),
            names = strrep(" ", 9999L), PACKAGE = "mirl_lib")
  names <- strsplit(out$names, " ", fixed = TRUE)[[1]]
  names <- names[nzchar(names)]
  checked(out$result, "gridlist", sprintf("grids of %s%s", session_place(),
                                          if (nzchar(root)) paste0(", directory ", root) else ""),
          names = names)
  names
}

#' @rdname grid_catalog
#' @export
grid_describe <- function(name, as = c("list", "data.frame")) {
  as <- match.arg(as)
  out <- .C("R_griddescribe", result = integer(1), scalar_string(name, "name"),
            rows = integer(1), cols = integer(1), y_ll = double(1), x_ll = double(1),
            cell_size = double(1), cell_type = integer(1), min = double(1), max = double(1),
            mean = double(1), sd = double(1), PACKAGE = "mirl_lib")
  checked(out$result, "griddescribe", grid_context(name))
  d <- list(name = name, rows = out$rows, cols = out$cols, x_ll = out$x_ll, y_ll = out$y_ll,
            cell_size = out$cell_size,
            cell_type = if (out$cell_type == 1L) "integer" else "float",
            min = out$min, max = out$max, mean = out$mean, sd = out$sd)
  if (as == "list") d else as.data.frame(d, stringsAsFactors = FALSE)
}

#' @rdname grid_catalog
#' @export
grid_create <- function(name, type = c("float", "integer")) {
  type <- match.arg(type)
  out <- .C("R_gridcreate", result = integer(1), scalar_string(name, "name"),
            if (type == "integer") 1L else 2L, PACKAGE = "mirl_lib")
  checked(out$result, "gridcreate", grid_context(name))
  invisible(name)
}

#' @rdname grid_catalog
#' @export
grid_copy <- function(from, to) {
  out <- .C("R_gridcopy", result = integer(1), scalar_string(from, "from"),
            scalar_string(to, "to"), PACKAGE = "mirl_lib")
  checked(out$result, "gridcopy", sprintf("copy of %s to '%s'", grid_context(from), to))
  invisible(to)
}

#' @rdname grid_catalog
#' @export
grid_delete <- function(name) {
  out <- .C("R_gridkill", result = integer(1), scalar_string(name, "name"),
            PACKAGE = "mirl_lib")
  checked(out$result, "gridkill", grid_context(name))
  invisible(name)
}

#' @rdname grid_catalog
#' @export
grid_server_retire <- function() {
  out <- .C("R_gridserver_retire", result = integer(1), PACKAGE = "mirl_lib")
  checked(out$result, "gridserver_retire", paste("retiring", session_place()))
  invisible(NULL)
}
