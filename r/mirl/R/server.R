#' Start the bundled grid server
#'
#' Starts the `grid_server` program installed with the package, serving the
#' grids under `root` to io-mode-1 sessions ([grid_open()] with `host`).
#' The server stops with `$stop()`, when the returned object is garbage
#' collected, or when R exits.
#'
#' @param root The directory of grids served. Requests for grids outside it
#'   are refused.
#' @param port The TCP port; 0 lets the system choose a free one.
#' @param address The address to listen on. The default serves this machine
#'   only; see the package README before serving a network (the server has
#'   no authentication: whoever can connect can read, write and delete every
#'   grid under `root`).
#' @param log A file to which the server appends one line per request.
#' @param ... Further options of the program, by name without the leading
#'   dashes, `_` for `-`: `idle_timeout = 5000` passes `--idle-timeout
#'   5000`, `allow = "10.1.0.0/16"` passes `--allow 10.1.0.0/16`. A vector
#'   value repeats the option.
#' @param timeout Seconds to wait for the server to listen.
#' @return An object of class `mirl_grid_server`, an environment with
#'   `$host` and `$port` to pass to [grid_open()], `$process` (the
#'   processx process), `$command` (the program and its arguments) and
#'   `$stop()`, which stops the server (SIGTERM, then a kill after the
#'   grace time) and returns its exit status.
#' @examples
#' root <- file.path(tempdir(), "served")
#' dir.create(root, showWarnings = FALSE)
#' server <- grid_server_start(root)
#' grid_open(host = server$host, port = server$port)
#' grid_list()
#' grid_close()
#' server$stop()
#' @export
grid_server_start <- function(root, port = 0L, address = "127.0.0.1", log = NULL, ...,
                              timeout = 20) {
  scalar_string(root, "root")
  if (!dir.exists(root)) stop(sprintf("root %s is not a directory", root), call. = FALSE)
  port_file <- tempfile("grid-server-port-")
  errors <- tempfile("grid-server-stderr-")
  args <- c("--root", normalizePath(root), "--port", as.integer(port), "--address", address,
            "--port-file", port_file, "--gridio-dir", library_directory(),
            if (!is.null(log)) c("--log", log), program_options(list(...)))
  program <- grid_server_program()
  process <- processx::process$new(program, args, stdout = NULL, stderr = errors,
                                   cleanup = TRUE)
  chosen <- NA_integer_
  deadline <- Sys.time() + timeout
  while (is.na(chosen) && process$is_alive() && Sys.time() < deadline) {
    Sys.sleep(0.02)
    if (file.exists(port_file)) {
      chosen <- suppressWarnings(as.integer(readLines(port_file, n = 1L, warn = FALSE)))
      if (length(chosen) == 0L) chosen <- NA_integer_
    }
  }
  if (is.na(chosen)) {
    if (process$is_alive()) process$kill()
    said <- if (file.exists(errors)) paste(readLines(errors, warn = FALSE), collapse = "\n")
    stop(sprintf("grid_server did not start%s%s",
                 if (!process$is_alive()) sprintf(" (exit status %s)", process$get_exit_status())
                 else sprintf(" within %g s", timeout),
                 if (length(said) && nzchar(said)) paste0(":\n", said) else ""), call. = FALSE)
  }
  unlink(port_file)
  server <- new.env(parent = emptyenv())
  server$host <- if (address %in% c("0.0.0.0", "::", "")) "127.0.0.1" else address
  server$port <- chosen
  server$process <- process
  server$command <- c(program, args)
  server$stop <- function(grace = 10) {
    if (process$is_alive()) {
      # tools::pskill rather than process$signal, after which processx
      # now and then loses the exit status.
      tools::pskill(process$get_pid(), tools::SIGTERM)
      process$wait(grace * 1000)
      if (process$is_alive()) process$kill()
    }
    unlink(errors)
    invisible(process$get_exit_status())
  }
  reg.finalizer(server, function(e) e$stop(), onexit = TRUE)
  class(server) <- "mirl_grid_server"
  server
}

#' @export
print.mirl_grid_server <- function(x, ...) {
  cat(sprintf("<mirl_grid_server> %s:%d, %s\n", x$host, x$port,
              if (x$process$is_alive()) paste("running, pid", x$process$get_pid()) else
                paste("stopped, exit status", x$process$get_exit_status())))
  invisible(x)
}

grid_server_program <- function() {
  program <- file.path(system.file(package = "mirl"), paste0("bin", Sys.getenv("R_ARCH")),
                       if (.Platform$OS.type == "windows") "grid_server.exe" else "grid_server")
  if (!file.exists(program)) stop("the package has no grid_server program at ", program,
                                  call. = FALSE)
  program
}

# Where the loaded mirl_lib is, and with it the grid I/O library.
library_directory <- function() dirname(getLoadedDLLs()[["mirl_lib"]][["path"]])

program_options <- function(options) {
  if (length(options) && (is.null(names(options)) || any(!nzchar(names(options))))) {
    stop("the options in ... must be named", call. = FALSE)
  }
  unlist(lapply(names(options), function(n) {
    flag <- paste0("--", gsub("_", "-", n, fixed = TRUE))
    as.vector(rbind(flag, as.character(options[[n]])))
  }), use.names = FALSE)
}
