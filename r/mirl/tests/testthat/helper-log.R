# The session log of the working directory, "<stamp> | " prefixes removed.
session_log_text <- function(file = "mirl_lib_log.txt") {
  if (!file.exists(file)) return("")
  text <- paste0(paste(readLines(file, warn = FALSE), collapse = "\n"), "\n")
  gsub("(^|\n)[0-9]{4}-[A-Z][a-z]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} \\| ", "\\1", text)
}

# The same with every hexadecimal address replaced by "ADDR".
without_addresses <- function(text) {
  text <- gsub("0x[0-9a-f]+ \\|", "0xADDR |", text)
  gsub("(mtx_grid     : |mtx_block    : )[0-9a-f]+", "\\1ADDR", text)
}

# The blanks in front of a parameter line.
indent <- function(blanks = 27) paste0("\n", strrep(" ", blanks))

# The result code of an export called through .C with the given arguments.
code_of <- function(export, ...) .C(export, result = integer(1), ..., PACKAGE = "mirl_lib")$result
