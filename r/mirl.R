# Small helpers for calling mirl_lib from R. Every call passes PACKAGE so that
# a same-named symbol in another loaded library is never picked up.

mirl_load <- function(lib_dir) {
  path <- file.path(lib_dir, paste0("mirl_lib", .Platform$dynlib.ext))
  if (!is.loaded("R_spread", PACKAGE = "mirl_lib")) dyn.load(path)
  invisible(path)
}

mirl_unload <- function(lib_dir) {
  path <- file.path(lib_dir, paste0("mirl_lib", .Platform$dynlib.ext))
  if (is.loaded("R_spread", PACKAGE = "mirl_lib")) dyn.unload(path)
  invisible(path)
}

# Spreads value from the 1-based cell (row, col) over the resistance matrix
# (an R matrix; the library stores rows one after another, so the matrix is
# passed transposed and the result transposed back). Returns the spread
# surface with the count of reached cells (or a negative code) as attribute.
mirl_spread <- function(resistance, value, row, col, diagonal = TRUE) {
  out <- .C("R_spread", result = integer(1), as.double(value), as.integer(row),
            as.integer(col), as.integer(nrow(resistance)), as.integer(ncol(resistance)),
            surface = as.double(t(resistance)), as.integer(diagonal),
            PACKAGE = "mirl_lib")
  res <- matrix(out$surface, nrow = nrow(resistance), byrow = TRUE)
  attr(res, "code") <- out$result
  res
}
