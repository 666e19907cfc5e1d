#' Label patches of equal values
#'
#' A patch is a largest set of cells of one and the same non-negative value
#' that are connected through their 4 or 8 neighbours. Every cell of a patch
#' gets the patch's number: 1, 2, ... in the order of each patch's first
#' cell, row after row from the top left. Like [terra::patches()] the
#' numbers start at 1 and cells in no patch are `NA` (terra numbers its
#' patches in an order of its own, so the two agree patch for patch, not
#' number for number). The library's own `patch_scan` numbers from 0 and
#' leaves the cells of no patch as they were; `.C("R_patch_scan", ...)`
#' still does.
#'
#' @param x An integer-valued matrix or single-layer SpatRaster.
#' @param neighbours 4 (edges) or 8 (edges and corners).
#' @param missing The value of cells that belong to no patch, besides `NA`
#'   and negative values; `NA` for none.
#' @return The patch numbers in the shape of `x`, integers from 1; `NA` in
#'   every cell of no patch (`NA`, missing and negative cells). The
#'   attribute `"count"` holds the number of patches.
#' @section Errors: [mirl_error] with the codes of `patch_scan`, such as -224
#'   for a neighbourhood other than 4 or 8, or -227 for a grid with more
#'   cells than 32-bit patch numbers can count. A `missing` or `neighbours`
#'   that is not one whole number is an R error.
#' @examples
#' m <- matrix(c(1, 1, 2,
#'               2, 1, 2,
#'               1, 2, 2), 3, byrow = TRUE)
#' patch_scan(m, neighbours = 4)
#' attr(patch_scan(m, neighbours = 8), "count")
#' @export
patch_scan <- function(x, neighbours = 4, missing = NA) {
  g <- as_cells(x, "x")
  cells <- as_whole(g$values, "x")
  missing <- if (length(missing) == 1L && is.na(missing) && !is.character(missing)) NA_integer_ else
    whole_number(missing, "missing")
  out <- .C("R_patch_scan", result = integer(1), grid = cells, as.integer(g$nrow),
            as.integer(g$ncol), whole_number(neighbours, "neighbours"), missing,
            count = integer(1), NAOK = TRUE, PACKAGE = "mirl_lib")
  checked(out$result, "patch_scan", "patch scan")
  in_patch <- !is.na(cells) & cells >= 0L & (is.na(missing) | cells != missing)
  labels <- rep(NA_integer_, length(cells))
  labels[in_patch] <- out$grid[in_patch] + 1L
  result <- from_cells(labels, g)
  attr(result, "count") <- out$count
  result
}
