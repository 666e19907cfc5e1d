#' Result codes of the library
#'
#' Every failure of the library is a negative result code, one band of
#' consecutive codes per export; the grid server adds its own codes (-10001
#' to -10019), which every grid function can return. `mirl_codes()` gives
#' the whole table; `mirl_code()` looks codes up.
#'
#' @param code Integer codes to look up.
#' @param export The export whose band to look in (such as `"readgrid"` or
#'   `"spread"`, the `export` column of `mirl_codes()`); `NULL` looks in
#'   every band and takes the first match. The grid server's codes and the
#'   session's own (-620, -630, -631) are found for every grid export.
#' @return `mirl_codes()`: a data frame with the columns `export`, `code`,
#'   `name` and `meaning`. `mirl_code()`: the same columns, one row per code
#'   asked for (`NA` name and meaning for a code that is not in the table).
#' @seealso [mirl_error] for the conditions that carry these codes.
#' @examples
#' head(mirl_codes())
#' mirl_code(-10007)
#' mirl_code(c(-501, -503), export = "spread")
#' @export
mirl_codes <- function() {
  if (is.null(.codes$table)) {
    file <- system.file("codes", "codes.tsv", package = "mirl", mustWork = TRUE)
    .codes$table <- utils::read.delim(file, colClasses = c("character", "integer", "character",
                                                           "character"), quote = "")
  }
  .codes$table
}

.codes <- new.env(parent = emptyenv())

# Where a code of an export is looked up after the export's own band: grid
# exports share the session's and the grid server's codes; connectivity
# rescaling returns the codes of its density step.
code_fallbacks <- function(export) {
  grid_exports <- c("setwindow", "makewindow", "getwindow", "readgrid", "writegrid",
                    "readblock", "writeblock", "gridlist", "gridkill", "griddescribe",
                    "gridcreate", "gridcopy", "gridserver_retire")
  if (export %in% grid_exports) return(c(export, "session", "server"))
  if (startsWith(export, "connect_rescale")) return(c(export, "zdensity"))
  export
}

#' @rdname mirl_codes
#' @export
mirl_code <- function(code, export = NULL) {
  table <- mirl_codes()
  code <- as.integer(code)
  bands <- if (is.null(export)) unique(table$export) else code_fallbacks(export)
  rows <- vapply(code, function(one) {
    for (band in bands) {
      hit <- which(table$export == band & table$code == one)
      if (length(hit)) return(hit[[1]])
    }
    NA_integer_
  }, integer(1))
  out <- data.frame(export = table$export[rows], code = code, name = table$name[rows],
                    meaning = table$meaning[rows], stringsAsFactors = FALSE)
  rownames(out) <- NULL
  out
}

#' Conditions of class mirl_error
#'
#' A function of the package that gets a negative result code from the
#' library signals a condition of class `c("mirl_error", "error",
#' "condition")`, which `tryCatch(..., mirl_error = function(e) ...)` catches.
#' Its fields:
#' * `message`: what was wrong, in words, with the code and its name;
#' * `code`: the integer result code;
#' * `code_name`: the grid server's name of the code (such as
#'   `"ErrGridCannotFind"`) or the short name of the export's own code (such
#'   as `"BadSourceRow"`), from [mirl_codes()];
#' * `export`: the library export that returned it;
#' * and, where a function says so, what was written before the failure.
#'
#' Arguments of the wrong kind (a character matrix, a missing window size)
#' are ordinary R errors raised before the library is called.
#'
#' @name mirl_error
#' @examples
#' e <- tryCatch(cost_spread(matrix(1, 3, 3), value = 10, row = 5, col = 1),
#'               mirl_error = function(e) e)
#' e$code
#' e$code_name
#' conditionMessage(e)
NULL

# Signals the mirl_error of code from export. context names what was being
# done ("grid 'elev' in workspace /data"), hint what the user may do or
# should know; fields are added to the condition. The session's code for a
# wait the user interrupted (-632) becomes the interrupt it was.
mirl_fail <- function(code, export, context = NULL, ..., hint = NULL, call = sys.call(-1)) {
  if (identical(as.integer(code), -632L)) mirl_interrupt(context, call)
  if (is.null(hint)) hint <- no_reply_hint(as.integer(code))
  info <- mirl_code(code, export)
  name <- if (is.na(info$name)) "Unknown" else info$name
  meaning <- if (is.na(info$meaning)) "unknown result code" else info$meaning
  message <- sprintf("%s%s [%s, code %d]%s", if (is.null(context)) "" else paste0(context, ": "),
                     meaning, name, as.integer(code), if (is.null(hint)) "" else
                       paste0("; ", hint))
  cond <- structure(class = c("mirl_error", "error", "condition"),
                    c(list(message = message, call = call, code = as.integer(code),
                           code_name = name, export = export), list(...)))
  stop(cond)
}

# Returns code when it is not negative, else signals its mirl_error.
checked <- function(code, export, context = NULL, ..., hint = NULL, call = sys.call(-1)) {
  if (code < 0L) mirl_fail(code, export, context, ..., hint = hint, call = call)
  code
}

# The user pressed Ctrl-C (or a host sent SIGINT) while the library waited on
# the grid server, which gave the wait up: an interrupt condition as R's own
# (class "interrupt", caught by tryCatch(interrupt = )), then, unhandled, the
# return to the top level that R makes for an interrupt.
mirl_interrupt <- function(context, call) {
  cond <- structure(class = c("mirl_interrupt", "interrupt", "condition"),
                    list(message = paste0(if (is.null(context)) "" else paste0(context, ": "),
                                          "interrupted while waiting for the grid server"),
                         call = call))
  signalCondition(cond)
  invokeRestart("abort")
}
