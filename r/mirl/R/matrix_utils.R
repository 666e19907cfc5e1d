#' Matrix utilities: masked replace, sparse put and get, bounding box
#'
#' Small helpers over the library's matrix exports.
#' * `replace_masked()` writes `value` into every cell where `mask` is `TRUE`
#'   (`mvrep_int`, `mvrep_dbl`).
#' * `sparse_put()` writes `values` into the cells named by `cells`;
#'   `sparse_get()` reads them (`sparseput_*`, `sparseget_*`).
#' * `clip_box()` finds the rows and columns that bound the non-zero cells
#'   (`clip_int`, `clip_dbl`); `NA` counts as zero.
#'
#' Integer matrices are handled as integers, others as doubles.
#'
#' @param x A numeric matrix or single-layer SpatRaster.
#' @param mask A logical matrix of the shape of `x`; `NA` is `FALSE`.
#' @param value The value written into the masked cells.
#' @param cells The cells, a two-column matrix of (row, column) pairs
#'   counted from 1, as for R's matrix indexing `x[cells]`.
#' @param values One value per row of `cells`.
#' @return `replace_masked()`, `sparse_put()`: `x` with the cells written, in
#'   its shape. `sparse_get()`: the values of the cells. `clip_box()`: the
#'   integer vector `c(top, bottom, left, right)`.
#' @section Errors: [mirl_error]: -147 (put) or -167 (get) for a cell outside
#'   the matrix (a put has written the cells before it; the condition's field
#'   `result` holds them); -125 from `clip_box()` when no cell is non-zero.
#' @examples
#' m <- matrix(0L, 4, 6)
#' m <- replace_masked(m, row(m) == 2 & col(m) > 3, 7L)
#' clip_box(m)                               # rows 2..2, columns 4..6
#' m <- sparse_put(m, cbind(c(1, 4), c(1, 6)), c(5L, 9L))
#' sparse_get(m, cbind(c(1, 2, 4), c(1, 5, 6)))
#' @name matrix_utilities
NULL

#' @rdname matrix_utilities
#' @export
replace_masked <- function(x, mask, value) {
  g <- as_cells(x, "x")
  k <- as_cells(mask, "mask")
  if (k$nrow != g$nrow || k$ncol != g$ncol) stop("`mask` must have the shape of `x`",
                                                  call. = FALSE)
  bits <- !is.na(k$values) & as.logical(k$values)
  # Eight cells to a byte, in storage order, the first cell in the top bit.
  bits <- c(bits, logical((8L - length(bits) %% 8L) %% 8L))
  mask_bytes <- packBits(matrix(bits, 8L)[8:1, , drop = FALSE], "raw")
  if (!(is.numeric(value) || is.logical(value)) || length(value) != 1L) {
    stop("`value` must be one number (or NA)", call. = FALSE)
  }
  nrow <- as.integer(g$nrow)
  ncol <- as.integer(g$ncol)
  out <- if (is.integer(g$values)) {
    .C("R_mvrep_int", result = integer(1), nrow, ncol, NA_integer_, as_whole(value, "value"),
       grid = g$values, mask_bytes, NAOK = TRUE, PACKAGE = "mirl_lib")
  } else {
    .C("R_mvrep_dbl", result = integer(1), nrow, ncol, NA_real_, as.double(value),
       grid = as.double(g$values), mask_bytes, NAOK = TRUE, PACKAGE = "mirl_lib")
  }
  checked(out$result, "mvrep", "masked replace")
  from_cells(out$grid, g)
}

#' @rdname matrix_utilities
#' @export
sparse_put <- function(x, cells, values) {
  g <- as_cells(x, "x")
  pairs <- cell_pairs(cells)
  if (length(values) != nrow(cells)) stop("`values` must hold one value per cell", call. = FALSE)
  nrow <- as.integer(g$nrow)
  ncol <- as.integer(g$ncol)
  count <- as.integer(nrow(cells))
  out <- if (is.integer(g$values)) {
    .C("R_sparseput_int", result = integer(1), nrow, ncol, count, grid = g$values, pairs,
       as_whole(values, "values"), NAOK = TRUE, PACKAGE = "mirl_lib")
  } else {
    .C("R_sparseput_dbl", result = integer(1), nrow, ncol, count, grid = as.double(g$values),
       pairs, as.double(values), NAOK = TRUE, PACKAGE = "mirl_lib")
  }
  result <- from_cells(out$grid, g)
  if (out$result < 0L) mirl_fail(out$result, "sparseput", "sparse put", result = result)
  result
}

#' @rdname matrix_utilities
#' @export
sparse_get <- function(x, cells) {
  g <- as_cells(x, "x")
  pairs <- cell_pairs(cells)
  nrow <- as.integer(g$nrow)
  ncol <- as.integer(g$ncol)
  count <- as.integer(nrow(cells))
  out <- if (is.integer(g$values)) {
    .C("R_sparseget_int", result = integer(1), nrow, ncol, count, g$values, pairs,
       values = rep(NA_integer_, count), NAOK = TRUE, PACKAGE = "mirl_lib")
  } else {
    .C("R_sparseget_dbl", result = integer(1), nrow, ncol, count, as.double(g$values), pairs,
       values = rep(NA_real_, count), NAOK = TRUE, PACKAGE = "mirl_lib")
  }
  checked(out$result, "sparseget", "sparse get")
  na_restored(out$values)
}

#' @rdname matrix_utilities
#' @export
clip_box <- function(x) {
  g <- as_cells(x, "x")
  values <- g$values
  values[is.na(values)] <- if (is.integer(values)) 0L else 0
  out <- if (is.integer(values)) {
    .C("R_clip_int", result = integer(1), as.integer(g$nrow), as.integer(g$ncol), values,
       box = integer(4), NAOK = TRUE, PACKAGE = "mirl_lib")
  } else {
    .C("R_clip_dbl", result = integer(1), as.integer(g$nrow), as.integer(g$ncol),
       as.double(values), box = integer(4), NAOK = TRUE, PACKAGE = "mirl_lib")
  }
  checked(out$result, "clip", "bounding box")
  stats::setNames(out$box, c("top", "bottom", "left", "right"))
}

# (row, column) pairs, pair after pair, as the library takes them.
cell_pairs <- function(cells) {
  if (!is.matrix(cells) || ncol(cells) != 2L || !is.numeric(cells) || nrow(cells) == 0L) {
    stop("`cells` must be a two-column matrix of (row, column) pairs", call. = FALSE)
  }
  as_whole(as.vector(t(cells)), "cells")
}
