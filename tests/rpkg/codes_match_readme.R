# The package's code table (r/mirl/inst/codes/codes.tsv) holds exactly the
# codes of the README's export tables, export by export, and the grid
# server's codes with their names.
# Usage: Rscript codes_match_readme.R <README.md> <codes.tsv>
args <- commandArgs(trailingOnly = TRUE)
readme <- readLines(args[[1]], warn = FALSE)
codes <- utils::read.delim(args[[2]], colClasses = c("character", "integer", "character",
                                                     "character"), quote = "")
problems <- character(0)

# The negative codes of a text, ranges ("-602..-606", "-301 ... -307") spelled out.
codes_in <- function(text) {
  text <- gsub("(-[0-9]+) *(\\.\\.|\u2026) *(-[0-9]+)", "\\1:\\3", text)
  found <- regmatches(text, gregexpr("-[0-9]+(:-[0-9]+)?", text))[[1]]
  unlist(lapply(found, function(f) eval(parse(text = f))))
}

rows <- grep("^\\| `[a-z_]+`", readme, value = TRUE)
for (row in rows) {
  cells <- trimws(strsplit(row, "|", fixed = TRUE)[[1]][-1])
  export <- sub("_(int|dbl)$", "", regmatches(cells[[1]], regexpr("[a-z_]+", cells[[1]])))
  listed <- codes_in(cells[[length(cells)]])
  listed <- sort(unique(listed[listed > -10000]))
  if (!length(listed)) next
  table <- sort(codes$code[codes$export == export & codes$code < 0])
  if (!identical(as.integer(listed), table)) {
    problems <- c(problems, sprintf("%s: README %s, table %s", export,
                                    paste(listed, collapse = " "), paste(table, collapse = " ")))
  }
}
server_rows <- grep("^\\| (1|-100[0-9]{2}) \\| Err", readme, value = TRUE)
for (row in server_rows) {
  cells <- trimws(strsplit(row, "|", fixed = TRUE)[[1]][-1])
  for (i in seq(1, length(cells) - 1, by = 2)) {
    name <- codes$name[codes$export == "server" & codes$code == as.integer(cells[[i]])]
    if (!identical(name, cells[[i + 1]])) {
      problems <- c(problems, sprintf("server code %s: README %s, table %s", cells[[i]],
                                      cells[[i + 1]], paste(name, collapse = " ")))
    }
  }
}
if (length(rows) < 25 || length(server_rows) != 10) {
  problems <- c(problems, sprintf("README tables not found (%d export rows, %d server rows)",
                                  length(rows), length(server_rows)))
}
if (length(problems)) {
  cat(problems, sep = "\n")
  quit(status = 1)
}
cat(sprintf("codes_match_readme: %d export rows and %d server rows agree\n", length(rows),
            length(server_rows)))
