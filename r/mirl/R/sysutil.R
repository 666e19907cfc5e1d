#' Facts about files and the machine
#'
#' * `file_info()`: the last-write time and size of a file, or the newest
#'   time and total size of the files of a directory (not descending into
#'   subdirectories) or of a pattern with `*` and `?` in its last part; and
#'   the free space of the drive.
#' * `short_path()`: the short form of a path (on this system its canonical
#'   absolute form).
#' * `computer_name()`: the machine's name, at most 15 characters.
#' * `process_id()`: the id of this R process.
#'
#' @param path A file, a directory or a pattern (`file_info()`); an existing
#'   path (`short_path()`).
#' @return `file_info()`: a list with `modified` (local time, `POSIXct`,
#'   millisecond resolution; `NA` for an empty directory), `size_mb` (total
#'   size in millions of bytes) and `free_mb` (free space of the drive in
#'   millions of bytes). `short_path()`, `computer_name()`: a string.
#'   `process_id()`: an integer.
#' @section Errors: [mirl_error] with the codes of `fileinfo` (-865 nothing
#'   matches the path, -866 a path over 257 characters), `shortpath` (-883
#'   the path does not exist) and `computername`.
#' @examples
#' file_info(R.home())
#' short_path(R.home())
#' computer_name()
#' process_id() == Sys.getpid()
#' @name system_utilities
NULL

#' @rdname system_utilities
#' @export
file_info <- function(path) {
  out <- .C("R_fileinfo", result = integer(1), scalar_string(path, "path"),
            text = strrep(" ", 25L), size = double(1), free = integer(1), PACKAGE = "mirl_lib")
  checked(out$result, "fileinfo", sprintf("file information of %s", path))
  list(modified = parse_time_text(out$text), size_mb = out$size, free_mb = out$free)
}

# The library's "dd Mon yyyy, hh:mm:ss:mmm" (English month abbreviations,
# local time) as POSIXct; "" (no file) as NA.
parse_time_text <- function(text) {
  parts <- regmatches(text, regexec(
    "^([0-9]{2}) ([A-Z][a-z]{2}) ([0-9]{4}), ([0-9]{2}):([0-9]{2}):([0-9]{2}):([0-9]{3})$", text))[[1]]
  if (length(parts) != 8L) return(as.POSIXct(NA))
  n <- as.integer(parts[c(2, 4:8)])
  month <- match(parts[[3]], month.abb)
  as.POSIXct(sprintf("%04d-%02d-%02d %02d:%02d:%02d", n[[2]], month, n[[1]], n[[3]], n[[4]],
                     n[[5]])) + n[[6]] / 1000
}

#' @rdname system_utilities
#' @export
short_path <- function(path) {
  out <- .C("R_shortpath", result = integer(1), scalar_string(path, "path"),
            short = strrep(" ", 258L), PACKAGE = "mirl_lib")
  checked(out$result, "shortpath", sprintf("short path of %s", path))
  out$short
}

#' @rdname system_utilities
#' @export
computer_name <- function() {
  out <- .C("R_computername", result = integer(1), name = strrep(" ", 15L),
            PACKAGE = "mirl_lib")
  checked(out$result, "computername", "computer name")
  out$name
}

#' @rdname system_utilities
#' @export
process_id <- function() .C("R_getpid", result = integer(1), PACKAGE = "mirl_lib")$result
