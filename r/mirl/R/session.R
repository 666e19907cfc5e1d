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
#' @param patient For a grid server (`host`): `FALSE` (the default) gives up
#'   on a server that does not answer within 2 seconds: `grid_open()` fails
#'   at once when nothing listens at `host:port`, and so does a later call
#'   whose server has gone. `TRUE` waits as the library was designed to,
#'   for a server that starts late or restarts: up to 25 attempts 10 s apart
#'   per exchange (about four minutes). Either way Ctrl-C ends the wait
#'   within a second, as an interrupt; the session stays open after it (a
#'   `grid_open()` interrupted leaves none).
#' @return `grid_open()`: the session (invisibly), as `grid_session()` gives
#'   it: a list with `io_mode` (1 remote, 2 in-process), `source` (host or
#'   workspace) and `port`. `grid_session()`: that list, or `NULL` when no
#'   session is open. `grid_close()`: `NULL`, invisibly.
#' @details The access window (see [grid_window()]) of the in-process
#'   server survives `grid_close()`. The `.C` road (`.C("R_gridinit", ...,
#'   PACKAGE = "mirl_lib")` without this function) keeps the library's own
#'   waits: 25 attempts 10 s apart, deaf to Ctrl-C until they are over.
#' @section Errors: [mirl_error] with the codes of `gridinit`: -623 a session
#'   is already open (call `grid_close()` first), -625 or -629 the grid server
#'   could not be reached, -627 the grid I/O library could not be loaded.
#'   Arguments of the wrong kind (a `port` that is not a whole number from 0
#'   to 65535, `log` or `patient` not `TRUE`/`FALSE`) are R errors naming
#'   the argument.
#' @examples
#' ws <- file.path(tempdir(), "grids")
#' dir.create(ws, showWarnings = FALSE)
#' grid_open(workspace = ws)
#' grid_session()
#' grid_close()
#' @export
grid_open <- function(workspace = NULL, host = NULL, port = 3339L, log = FALSE,
                      patient = FALSE) {
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
  port <- whole_number(port, "port", min = 0, max = 65535)
  log <- flag(log, "log")
  patient <- flag(patient, "patient")
  place <- if (io_mode == 2L) paste("workspace", source) else
    sprintf("grid server %s:%d", source, if (port > 0L) port else 3339L)
  # An open session is refused by gridinit (-623); its client keeps its waits.
  if (io_mode == 1L && is.null(.session$info)) set_waits(patient)
  out <- .C("R_gridinit", result = integer(1), io_mode, source, port, as.integer(log),
            PACKAGE = "mirl_lib")
  checked(out$result, "gridinit", paste("opening a session on", place),
          hint = if (out$result %in% c(-625L, -629L)) unreachable_hint(patient))
  .session$info <- list(io_mode = io_mode, source = source, port = port)
  .session$window_crs <- NULL
  invisible(.session$info)
}

# The waits of the library's TCP client for this process's sessions: a
# server that does not answer is given up after two attempts a quarter of a
# second apart, connects cut after 0.75 s (1.75 s in all), or patiently as
# designed; R's interrupt is asked every 0.1 s either way.
set_waits <- function(patient) {
  code <- if (patient) .Call(C_mirl_grid_waits$address, 25L, 10000L, 30000L) else
    .Call(C_mirl_grid_waits$address, 2L, 250L, 750L)
  checked(code, "gridinit_waits", "setting the waits of the grid server's client")
}

unreachable_hint <- function(patient) {
  if (patient) return("nothing answered in 25 attempts 10 s apart")
  paste("nothing answered within 2 s: is a grid server running there?",
        "(`patient = TRUE` waits for one that starts late)")
}

#' @rdname grid_open
#' @export
grid_close <- function() {
  .C("clean_up", PACKAGE = "mirl_lib")
  .session$info <- NULL
  .session$window_crs <- NULL
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

# What a grid call that got no reply should say: the server is gone.
no_reply_hint <- function(code) {
  info <- .session$info
  if (!identical(code, -631L) || is.null(info) || info$io_mode != 1L) return(NULL)
  "the grid server did not answer; has it stopped? (grid_close(), then grid_open() again)"
}
