#' Apply a function to a grid band by band, in parallel on future
#'
#' Splits grid `input` into bands of `block_rows` rows, hands each band to
#' `fun` as a matrix with `margin` extra rows and columns on every side (`NA`
#' beyond the grid), and writes the band's core of the result into grid
#' `output`. The bands run through [future.apply::future_lapply()] on the
#' plan the caller set with [future::plan()]: `sequential`, `multisession`
#' on this machine, or `cluster` over several machines.
#'
#' Each worker opens its own io-mode-1 session to the grid server of the
#' current session and reads and writes its bands there: the server that
#' holds the grids is where the workers meet, and they never share files.
#' The current session must therefore be one on a grid server
#' (`grid_open(host = )`, for example on a [grid_server_start()] server)
#' whose host name the workers can reach; a session on a workspace
#' (io mode 2) runs only under a sequential plan. Progress is reported
#' through progressr, one step per band.
#'
#' @param input The grid read.
#' @param output The grid written. A grid that does not exist is created as
#'   a float grid over the window, and removed again when a band fails. An
#'   existing grid (`input` itself among them) is not touched until every
#'   band is done: the bands go to a copy of it beside it, which then takes
#'   its place; when a band fails the copy is removed and `output` is as it
#'   was. An existing integer grid takes whole results only: a band whose
#'   results are not whole numbers is an error that names the grid (map into
#'   a new grid to get float results).
#' @param fun A function of one matrix that returns a matrix of the same
#'   size (whose core is written) or of the core's size. It runs in the
#'   workers: what it uses must reach them as future's globals do.
#' @param block_rows Rows per band, a whole number of at least 1.
#' @param margin Extra rows and columns around each band, a whole number of
#'   at least 0.
#' @return `output`, invisibly.
#' @section Errors: [mirl_error] from the grid functions, raised where they
#'   fail (in a worker, relayed by future), and the errors of `fun`; the
#'   message then ends with what became of `output`.
#' @examples
#' root <- file.path(tempdir(), "map-example")
#' dir.create(root, showWarnings = FALSE)
#' server <- grid_server_start(root)
#' grid_open(host = server$host, port = server$port)
#' grid_make_window(rows = 87, cols = 61, x_ll = 0, y_ll = 0, cell_size = 10)
#' grid_write("volcano", volcano)
#' # the mean of each cell's 3 x 3 neighbourhood, 20 rows at a time
#' smooth <- function(m) {
#'   out <- m
#'   for (r in 2:(nrow(m) - 1)) for (c in 2:(ncol(m) - 1))
#'     out[r, c] <- mean(m[(r - 1):(r + 1), (c - 1):(c + 1)], na.rm = TRUE)
#'   out
#' }
#' grid_map_blocks("volcano", "smooth", smooth, block_rows = 20, margin = 1)
#' range(grid_read("smooth", as = "matrix"))
#' grid_close()
#' server$stop()
#' @export
grid_map_blocks <- function(input, output, fun, block_rows = 256L, margin = 0L) {
  scalar_string(input, "input")
  scalar_string(output, "output")
  fun <- match.fun(fun)
  block_rows <- whole_number(block_rows, "block_rows", min = 1)
  margin <- whole_number(margin, "margin", min = 0)
  session <- grid_session()
  if (is.null(session)) stop("no grid session: open one with grid_open()", call. = FALSE)
  if (session$io_mode == 2L && !inherits(future::plan(), "sequential")) {
    stop("parallel workers need a grid server to meet at: open the session with ",
         "grid_open(host = ...) (see grid_server_start()), or use plan(sequential)",
         call. = FALSE)
  }
  w <- grid_window()
  grid_describe(input)
  target <- map_target(output)
  firsts <- seq.int(1L, w$rows, by = block_rows)
  progress <- progressr::progressor(steps = length(firsts))
  band <- list(input = input, output = target$written, integer = target$integer,
               named = output, rows = block_rows, margin = margin, cols = w$cols,
               last_row = w$rows, session = session, home = Sys.getpid())
  tryCatch(future.apply::future_lapply(firsts, function(first) {
    map_band(first, band, fun)
    progress()
    NULL
  }, future.packages = "mirl", future.seed = TRUE),
  error = function(e) stop(map_failed(e, target)),
  interrupt = function(e) {
    map_failed(e, target)
    signalCondition(e)
    invokeRestart("abort")
  })
  map_done(target)
  invisible(output)
}

# Where the bands of a map into output go: output itself when the map
# creates it, else a copy beside it (of its cell type and CRS) that takes
# its place when every band is done.
map_target <- function(output) {
  d <- tryCatch(grid_describe(output), mirl_error = function(e) {
    if (e$code != -10007L) stop(e)
    NULL
  })
  if (is.null(d)) {
    grid_create(output, "float")
    return(list(output = output, written = output, created = TRUE, integer = FALSE))
  }
  staging <- sprintf("%s_mapping_%d", output, Sys.getpid())
  # Left by a map of this process that was killed before it could clean up.
  tryCatch(grid_delete(staging), mirl_error = function(e) if (e$code != -10007L) stop(e))
  grid_copy(output, staging)
  list(output = output, written = staging, created = FALSE,
       integer = identical(d$cell_type, "integer"))
}

# Every band written: the copy takes output's place.
map_done <- function(target) {
  if (target$created) return(invisible(NULL))
  grid_delete(target$output)
  tryCatch(grid_copy(target$written, target$output), error = function(e) {
    e$message <- sprintf("%s\n(grid_map_blocks: the result is in grid '%s'; grid '%s' was removed)",
                         conditionMessage(e), target$written, target$output)
    stop(e)
  })
  grid_delete(target$written)
}

# A band failed (or the user interrupted): removes what the map made, and
# returns the condition with what became of output added to its message.
map_failed <- function(e, target) {
  removed <- tryCatch({
    grid_delete(target$written)
    TRUE
  }, error = function(e) FALSE)
  what <- if (target$created) {
    sprintf("grid '%s', which this call created, %s", target$output,
            if (removed) "was removed" else "could not be removed")
  } else {
    sprintf("grid '%s' was left as it was: no band was written to it%s", target$output,
            if (removed) "" else sprintf(" (its working copy '%s' remains)", target$written))
  }
  e$message <- sprintf("%s\n(grid_map_blocks: %s)", conditionMessage(e), what)
  e
}

# One band in a worker: on the session of the calling process when the
# worker is that process (a sequential plan) or a fork that inherited its
# session to the same server, else on a session of its own to the server.
map_band <- function(first, band, fun) {
  own <- grid_session()
  meets <- !is.null(own) && own$io_mode == band$session$io_mode &&
    identical(own$source, band$session$source) && own$port == band$session$port
  if (!(meets && (own$io_mode == 1L || Sys.getpid() == band$home))) {
    if (!is.null(own)) grid_close()
    grid_open(host = band$session$source, port = band$session$port)
    on.exit(grid_close())
  }
  n <- min(band$rows, band$last_row - first + 1L)
  m <- grid_read_block(band$input, first, 1L, n, band$cols, band$margin)
  result <- fun(m)
  if (!is.matrix(result)) stop("`fun` must return a matrix", call. = FALSE)
  if (identical(dim(result), dim(m)) && band$margin > 0L) {
    keep_rows <- band$margin + seq_len(n)
    keep_cols <- band$margin + seq_len(band$cols)
    result <- result[keep_rows, keep_cols, drop = FALSE]
  }
  if (!identical(dim(result), c(n, band$cols))) {
    stop(sprintf("`fun` returned a %d x %d matrix for a band of %d x %d (%d x %d with margin)",
                 nrow(result), ncol(result), n, band$cols, nrow(m), ncol(m)), call. = FALSE)
  }
  if (band$integer) result <- whole_band(result, first, n, band$named)
  grid_write_block(band$output, result, first, 1L, "opaque")
}

# The results of the band of n rows from first, for an integer grid: as
# integers, or an error when they are not whole numbers (an integer grid
# would truncate them: 30 for 30.49).
whole_band <- function(result, first, n, grid) {
  values <- as.vector(result)
  if (!is.numeric(values) || any(!is.na(values) & (!is.finite(values) | values != round(values) |
                                                   abs(values) > .Machine$integer.max))) {
    stop(sprintf(paste("`fun` returned values that are not whole numbers for rows %d-%d, and",
                       "grid '%s' is an integer grid; map into a new grid, which is created as",
                       "a float grid"), first, first + n - 1L, grid), call. = FALSE)
  }
  storage.mode(result) <- "integer"
  result
}
