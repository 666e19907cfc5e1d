#' Euclidean distance to a reference in attribute space
#'
#' For every cell of a stack of layers, the Euclidean distance between the
#' cell's vector of layer values and one reference vector:
#' `sqrt(sum((reference - values)^2))` over the layers.
#'
#' @param stack The layers: a three-dimensional array (rows x columns x
#'   layers) or a SpatRaster of one or more layers. Integer arrays are
#'   computed on integers.
#' @param reference One value per layer.
#' @param skip_missing `TRUE`: a layer whose value (or reference) is `NA`
#'   is left out of the cell's sum (a cell with every layer left out gets
#'   0). `FALSE`: an `NA` makes the cell's distance `NA`.
#' @return The distances: a matrix, or a single-layer SpatRaster with the
#'   stack's geometry and CRS named `"distance"`.
#' @section Errors: [mirl_error] with the codes of `eudist`.
#' @examples
#' a <- array(c(0, 3, 7, 0, 4, 0), c(1, 3, 2))
#' attribute_distance(a, reference = c(0, 0))   # 0, 5, 7
#' @export
attribute_distance <- function(stack, reference, skip_missing = TRUE) {
  if (inherits(stack, "SpatRaster")) {
    values <- terra::values(stack, mat = TRUE)  # row-major cells, one column per layer
    shape <- list(nrow = terra::nrow(stack), ncol = terra::ncol(stack),
                  template = stack[[1]])
    layers <- terra::nlyr(stack)
    cells <- as.vector(values)
  } else {
    if (!is.array(stack) || length(dim(stack)) != 3L || !is.numeric(stack)) {
      stop("`stack` must be a numeric rows x columns x layers array or a SpatRaster",
           call. = FALSE)
    }
    d <- dim(stack)
    shape <- list(nrow = d[[1]], ncol = d[[2]], template = matrix(0, d[[1]], d[[2]]))
    layers <- d[[3]]
    cells <- as.vector(aperm(stack, c(2L, 1L, 3L)))
  }
  if (!is.numeric(reference) || length(reference) != layers) {
    stop(sprintf("`reference` must hold one number per layer (%d)", layers), call. = FALSE)
  }
  skip_missing <- flag(skip_missing, "skip_missing")
  integers <- is.integer(cells) && is.integer(reference)
  if (integers) {
    missing <- NA_integer_
  } else {
    missing <- free_double(cells, reference)
    cells <- as.double(cells)
    reference <- as.double(reference)
    if (skip_missing) {
      cells[is.na(cells)] <- missing
      reference[is.na(reference)] <- missing
    }
  }
  dims <- as.integer(c(layers, shape$nrow, shape$ncol))
  distance <- double(shape$nrow * shape$ncol)
  out <- if (integers) {
    .C("R_eudist_int", result = integer(1), dims[[1]], dims[[2]], dims[[3]], missing,
       reference, cells, distance = distance, as.integer(skip_missing), NAOK = TRUE,
       PACKAGE = "mirl_lib")
  } else {
    .C("R_eudist_dbl", result = integer(1), dims[[1]], dims[[2]], dims[[3]], missing,
       reference, cells, distance = distance, as.integer(skip_missing), NAOK = TRUE,
       PACKAGE = "mirl_lib")
  }
  checked(out$result, "eudist", sprintf("distance over %d layers", layers))
  distance <- na_restored(out$distance)
  if (integers && !skip_missing) {
    # Integer NA is a number to the library; it has to be NA here.
    has_na <- rowSums(matrix(is.na(cells), ncol = layers)) > 0 | any(is.na(reference))
    distance[has_na] <- NA
  }
  from_cells(distance, shape, name = if (inherits(stack, "SpatRaster")) "distance")
}
