#' Normal density of every value
#'
#' Replaces every value by the density of the normal distribution with the
#' given mean and standard deviation: `exp(-(x - mean)^2 / (2 sd^2)) /
#' (sqrt(2 * 3.1415) * sd)`. The library uses 3.1415, not pi, so results are
#' about 1e-5 relative above [stats::dnorm()].
#'
#' @param x A numeric vector, matrix or single-layer SpatRaster. `NA` stays
#'   `NA`.
#' @param mean,sd The distribution's mean, a finite number, and standard
#'   deviation, a finite number greater than 0. Unlike [stats::dnorm()],
#'   which answers `NaN` with a warning for a negative `sd` and a point mass
#'   for 0, both are errors here: the library would return negative or
#'   infinite densities for them. (`.C("R_zdensity", ...)` uses `sd` as
#'   given.)
#' @return The densities in the shape of `x`.
#' @examples
#' normal_density(c(-1, 0, 1, NA))
#' normal_density(matrix(1:6, 2), mean = 3, sd = 2)
#' @export
normal_density <- function(x, mean = 0, sd = 1) {
  if (inherits(x, "SpatRaster") || is.matrix(x)) {
    g <- as_cells(x, "x")
    return(from_cells(normal_density(g$values, mean, sd), g))
  }
  if (!is.numeric(x)) stop("`x` must be numeric", call. = FALSE)
  if (length(x) == 0L) {
    finite_number(mean, "mean")
    positive_number(sd, "sd")
    return(as.double(x))
  }
  # NaN as the missing value: no value equals it, so NA cells go through the
  # formula and come out NaN, which is NA again.
  mean <- finite_number(mean, "mean")
  sd <- positive_number(sd, "sd")
  out <- .C("R_zdensity", result = integer(1), mean, sd, as.integer(length(x)),
            data = as.double(x), NaN, NAOK = TRUE, PACKAGE = "mirl_lib")
  checked(out$result, "zdensity", "normal density")
  result <- na_restored(out$data)
  attributes(result) <- attributes(x)
  result
}

#' Connectivity rescaling
#'
#' Turns values into Gaussian weights normalised by the weight of the cells
#' taken: every admitted value v becomes `normal_density(offset - v /
#' divisor)` (the density of [normal_density()], mean 0, sd 1) divided by
#' the sum of `weights` over the admitted cells. A value of exactly 0 counts
#' as no data, though its weight still counts in the sum.
#'
#' @param values,weights Numeric matrices or single-layer SpatRasters of one
#'   shape. `NA` values are no data as 0 is; an `NA` weight of an admitted
#'   cell makes every result `NA`.
#' @param mask Which cells are admitted: a logical (or numeric, non-zero
#'   admits) matrix or SpatRaster of the same shape; `NA` admits nothing.
#' @param divisor Divides every value; not 0.
#' @param offset From which the divided values are taken.
#' @return `connect_rescale()`: the normalised densities in the shape of
#'   `values`, 0 where no density was taken (and everywhere when no cell is
#'   admitted). `connect_rescale_total()`: their sum (`NaN` when no cell is
#'   admitted).
#' @section Errors: [mirl_error] with the codes of `connect_rescale_matrix`
#'   and `connect_rescale_scalar`, such as -323 and -303 for a divisor of 0.
#' @examples
#' values <- matrix(c(0.5, 2, 4, 1, 0, 3), 2, byrow = TRUE)
#' weights <- matrix(1, 2, 3)
#' mask <- matrix(c(TRUE, TRUE, FALSE, TRUE, TRUE, FALSE), 2, byrow = TRUE)
#' connect_rescale(values, weights, mask, divisor = 2, offset = 1)
#' connect_rescale_total(values, weights, mask, divisor = 2, offset = 1)
#' @export
connect_rescale <- function(values, weights, mask, divisor = 1, offset = 0) {
  rescaled(values, weights, mask, divisor, offset, total = FALSE)
}

#' @rdname connect_rescale
#' @export
connect_rescale_total <- function(values, weights, mask, divisor = 1, offset = 0) {
  rescaled(values, weights, mask, divisor, offset, total = TRUE)
}

rescaled <- function(values, weights, mask, divisor, offset, total) {
  v <- as_cells(values, "values")
  w <- as_cells(weights, "weights")
  k <- as_cells(mask, "mask")
  if (w$nrow != v$nrow || w$ncol != v$ncol || k$nrow != v$nrow || k$ncol != v$ncol) {
    stop("`values`, `weights` and `mask` must have one shape", call. = FALSE)
  }
  # NA is no data as 0 is: the library takes no density from a 0 and still
  # counts its weight.
  cells <- as.double(v$values)
  cells[is.na(cells)] <- 0
  missing <- free_double(cells, w$values)
  # The library admits a cell whose mask differs from the missing value's
  # integer part, which free_double keeps within the integer range.
  admitted <- !is.na(k$values) & k$values != 0
  mask_cells <- ifelse(admitted, as.integer(trunc(missing)) + 1L, as.integer(trunc(missing)))
  divisor <- finite_number(divisor, "divisor")
  offset <- finite_number(offset, "offset")
  nrow <- as.integer(v$nrow)
  ncol <- as.integer(v$ncol)
  missing <- as.double(missing)
  weights <- as.double(w$values)
  export <- if (total) "connect_rescale_scalar" else "connect_rescale_matrix"
  out <- if (total) {
    .C("R_connect_rescale_scalar", result = integer(1), divisor, offset, nrow, ncol, missing,
       cells, weights, mask_cells, out = double(1), NAOK = TRUE, PACKAGE = "mirl_lib")
  } else {
    .C("R_connect_rescale_matrix", result = integer(1), divisor, offset, nrow, ncol, missing,
       cells, weights, mask_cells, out = double(length(cells)), NAOK = TRUE,
       PACKAGE = "mirl_lib")
  }
  checked(out$result, export, "connectivity rescaling")
  if (total) out$out else from_cells(na_restored(out$out), v)
}
