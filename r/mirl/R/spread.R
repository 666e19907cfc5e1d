#' Spread a value over a resistance surface
#'
#' The value placed on the source cell spreads to the neighbouring cells
#' (all eight); entering a cell costs its resistance, 1.4 times it for a
#' diagonal step when `diagonal` is `TRUE`, and the spread stops where the
#' remaining value would no longer be positive. Each reached cell gets the
#' largest remaining value over all paths from the source (improvements of
#' 0.0001 or less are ignored); the source's own resistance is not charged.
#'
#' @param resistance A numeric matrix or a single-layer SpatRaster. A
#'   negative resistance is a barrier that is never entered; so is an `NA`.
#' @param value The value placed on the source cell, greater than 0.
#' @param row,col The source cell, counted from 1 (row 1 is the top row).
#' @param diagonal Whether a diagonal step costs 1.4 times the resistance of
#'   the cell it enters (`TRUE`) or the resistance itself (`FALSE`).
#' @return The spread surface in the shape of `resistance` (a matrix, or a
#'   SpatRaster with the same geometry, CRS and name): the remaining value in
#'   every reached cell, 0 in cells not reached, `NA` where `resistance` is
#'   `NA`.
#' @section Errors: [mirl_error] with the codes of `spread`: -501 value not
#'   greater than 0, -502 row or -503 column outside the surface, -507 out of
#'   memory.
#' @examples
#' res <- matrix(1, 5, 5)
#' res[2:4, 3] <- -1                       # a wall
#' cost_spread(res, value = 6, row = 3, col = 1, diagonal = FALSE)
#'
#' # volcano as a resistance surface
#' s <- cost_spread(volcano / 100, value = 50, row = 40, col = 30)
#' image(s)
#' @export
cost_spread <- function(resistance, value, row, col, diagonal = TRUE) {
  g <- as_cells(resistance, "resistance")
  surface <- as.double(g$values)
  barrier <- is.na(surface)
  surface[barrier] <- -1
  out <- .C("R_spread", result = integer(1), as.double(scalar_number(value, "value")),
            as.integer(scalar_number(row, "row")), as.integer(scalar_number(col, "col")),
            as.integer(g$nrow), as.integer(g$ncol), surface = surface,
            as.integer(isTRUE(diagonal)), NAOK = TRUE, PACKAGE = "mirl_lib")
  checked(out$result, "spread", sprintf("spread from cell (%s, %s)", row, col))
  surface <- out$surface
  surface[barrier] <- NA
  from_cells(surface, g)
}

#' Spread wetness along a flow-direction network
#'
#' Wetness spreads from the source cell downstream along the path its water
#' takes, and from every cell of that path upstream into the dry tributaries
#' that drain into it. Entering a cell costs its `cost`; the spread stops
#' where the remaining value is no longer positive. Direction cycles (as
#' terra's flow directions make them at flat pits) are walked round while
#' their costs use the value up.
#'
#' @param cost A numeric matrix or single-layer SpatRaster: the cost of
#'   entering each cell. `NA` cells are never entered.
#' @param direction D8 flow directions of the same shape (1 east, 2
#'   south-east, 4 south, 8 south-west, 16 west, 32 north-west, 64 north, 128
#'   north-east; 0 or negative: no flow), for example from
#'   `terra::terrain(elev, "flowdir")`. `NA` cells are never wetted.
#' @param value The value at the source cell, greater than 0.
#' @param row,col The source cell, counted from 1.
#' @param wetness The wetness already there, of the same shape (0 marks a dry
#'   cell); `NULL` for none.
#' @return The wetness in the shape of `cost`: the remaining value in every
#'   reached cell, the input wetness elsewhere, `NA` where `cost` or
#'   `direction` is `NA`.
#' @section Errors: [mirl_error] with the codes of `wetspread`: -241 value
#'   not greater than 0, -242 row or -243 column outside the grid, -249 a
#'   walk that cannot end (a direction cycle whose costs do not use the value
#'   up). After -249 and -240 the condition's field `wetness` holds the
#'   cells written before the failure.
#' @examples
#' dir <- matrix(1L, 3, 5)                 # everything drains east
#' dir[1, 2] <- 4L                         # a tributary from the north
#' wet_spread(matrix(1, 3, 5), dir, value = 5, row = 2, col = 1)
#' @export
wet_spread <- function(cost, direction, value, row, col, wetness = NULL) {
  g <- as_cells(cost, "cost")
  d <- as_cells(direction, "direction")
  if (d$nrow != g$nrow || d$ncol != g$ncol) {
    stop("`direction` must have the dimensions of `cost`", call. = FALSE)
  }
  dir_values <- as_whole(d$values, "direction")
  missing <- is.na(g$values) | is.na(dir_values)
  dir_values[is.na(dir_values)] <- 0L
  wet <- if (is.null(wetness)) double(length(g$values)) else {
    w <- as_cells(wetness, "wetness")
    if (w$nrow != g$nrow || w$ncol != g$ncol) {
      stop("`wetness` must have the dimensions of `cost`", call. = FALSE)
    }
    as.double(w$values)
  }
  out <- .C("R_wetspread", result = integer(1), as.double(scalar_number(value, "value")),
            as.integer(scalar_number(row, "row")), as.integer(scalar_number(col, "col")),
            as.integer(g$nrow), as.integer(g$ncol), as.double(g$values), dir_values,
            wet = wet, NAOK = TRUE, PACKAGE = "mirl_lib")
  result <- out$wet
  result[missing] <- NA
  result <- from_cells(result, g)
  if (out$result < 0L) {
    mirl_fail(out$result, "wetspread", sprintf("wet spread from cell (%s, %s)", row, col),
              wetness = result)
  }
  result
}
