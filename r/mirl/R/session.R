#' Open and close a grid session
#'
#' The grid functions work through one grid session per R process.
#' `grid_open(workspace = )` makes the library its own grid server over a
#' directory of grids (io mode 2); `grid_open(host = )` talks to a
#' [grid_server][grid_server_start] over TCP (io mode 1). A grid is a
#' directory holding one single-band GeoTIFF (or an ESRI binary grid, read
#' only).
#'
#' @param workspace A directory of grids, for an in-process grid server.
#' @param host The host name or address of a running grid server.
#' @param port The grid server's TCP port.
#' @param log `TRUE` appends the session log `mirl_lib_log.txt` and the
#'   server log `grid_server_log.txt` in the working directory.
#' @return `grid_open()`: the session (invisibly), as `grid_session()` gives
#'   it: a list with `io_mode` (1 remote, 2 in-process), `source` (host or
#'   workspace) and `port`. `grid_session()`: that list, or `NULL` when no
#'   session is open. `grid_close()`: `NULL`, invisibly.
#' @details An unreachable host is retried by the library for several
#'   minutes before `grid_open()` fails. The access window (see
#'   [grid_window()]) of the in-process server survives `grid_close()`.
#' @section Errors: [mirl_error] with the codes of `gridinit`: -623 a session
#'   is already open (call `grid_close()` first), -625 or -629 the grid server
#'   could not be reached, -627 the grid I/O library could not be loaded.
#' @examples
#' ws <- file.path(tempdir(), "grids")
#' dir.create(ws, showWarnings = FALSE)
#' grid_open(workspace = ws)
#' grid_session()
#' grid_close()
#' @export
grid_open <- function(workspace = NULL, host = NULL, port = 3339L, log = FALSE) {
  if (is.null(workspace) == is.null(host)) {
    stop("give either `workspace` (in-process server) or `host` (grid server)", call. = FALSE)
  }
  if (!is.null(workspace)) {
    scalar_string(workspace, "workspace")
    if (!dir.exists(workspace)) stop(sprintf("workspace %s is not a directory", workspace),
                                     call. = FALSE)
    io_mode <- 2L
    source <- normalizePath(workspace)
  } else {
    io_mode <- 1L
    source <- scalar_string(host, "host")
  }
  port <- as.integer(scalar_number(port, "port"))
  out <- .C("R_gridinit", result = integer(1), io_mode, source, port, as.integer(isTRUE(log)),
            PACKAGE = "mirl_lib")
  place <- if (io_mode == 2L) paste("workspace", source) else
    sprintf("grid server %s:%d", source, port)
  checked(out$result, "gridinit", paste("opening a session on", place))
  .session$info <- list(io_mode = io_mode, source = source, port = port)
  invisible(.session$info)
}

#' @rdname grid_open
#' @export
grid_close <- function() {
  .C("clean_up", PACKAGE = "mirl_lib")
  .session$info <- NULL
  invisible(NULL)
}

#' @rdname grid_open
#' @export
grid_session <- function() .session$info

.session <- new.env(parent = emptyenv())

# Where the session's grids are, for messages.
session_place <- function() {
  info <- .session$info
  if (is.null(info)) return("no session")
  if (info$io_mode == 2L) paste("workspace", info$source)
  else sprintf("grid server %s:%d", info$source, info$port)
}

grid_context <- function(name) sprintf("grid '%s' in %s", name, session_place())
