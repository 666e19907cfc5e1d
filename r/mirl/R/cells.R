# Between R's shapes and the library's cells. The library keeps a grid row
# after row (the cell of row r and column c at r * ncol + c); R keeps
# matrices column after column, and terra keeps a layer's cells row after
# row as the library does. A "cells" record is the library's view of an
# argument: its cells in the library's order, its dimensions, and what the
# result is to look like (a matrix with the same dimnames, or a SpatRaster
# with the same geometry, CRS and names).

as_cells <- function(x, arg = "x") {
  if (inherits(x, "SpatRaster")) {
    if (terra::nlyr(x) != 1L) {
      stop(sprintf("`%s` must be a single-layer SpatRaster, not one of %d layers", arg,
                   terra::nlyr(x)), call. = FALSE)
    }
    return(list(values = terra::values(x, mat = FALSE), nrow = terra::nrow(x),
                ncol = terra::ncol(x), template = x))
  }
  if (is.data.frame(x)) x <- as.matrix(x)
  if (!is.matrix(x) || !(is.numeric(x) || is.logical(x))) {
    stop(sprintf("`%s` must be a numeric matrix or a single-layer SpatRaster", arg),
         call. = FALSE)
  }
  list(values = as.vector(t(x)), nrow = nrow(x), ncol = ncol(x), template = x)
}

# The result in the shape of the argument it was computed from.
from_cells <- function(values, like, name = NULL) {
  template <- like$template
  if (inherits(template, "SpatRaster")) {
    out <- terra::rast(template, nlyrs = 1L)
    terra::values(out) <- values
    names(out) <- if (is.null(name)) names(template)[[1]] else name
    return(out)
  }
  out <- matrix(values, nrow = like$nrow, ncol = like$ncol, byrow = TRUE)
  dimnames(out) <- dimnames(template)
  out
}

# Whole numbers as integers (NA kept); other values are refused.
as_whole <- function(values, arg) {
  if (is.integer(values)) return(values)
  values <- as.double(values)
  whole <- is.na(values) | (values == round(values) & abs(values) <= .Machine$integer.max)
  if (!all(whole)) {
    stop(sprintf("`%s` must hold whole numbers within the integer range", arg), call. = FALSE)
  }
  as.integer(values)
}

# A double that does not occur among values (NA stands for itself), to be
# the library's missing value: R's NA cells take it on the way in. Close to
# the integer range's lower end so that it also has an integer counterpart.
free_double <- function(...) {
  taken <- unlist(list(...), use.names = FALSE)
  candidate <- -2147483647
  while (any(taken == candidate, na.rm = TRUE)) candidate <- candidate + 0.5
  candidate
}

# NaN and NA alike become R's NA.
na_restored <- function(values) {
  values[is.na(values)] <- NA
  values
}
