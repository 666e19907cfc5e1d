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
#' @param diagonal `TRUE`: a diagonal step costs 1.4 times the resistance
#'   of the cell it enters; `FALSE`: the resistance itself.
#' @param xy Instead of `row` and `col`: the source as the coordinates
#'   `c(x, y)` of a point in a SpatRaster `resistance` (the cell that holds
#'   it, as [terra::cellFromXY()] finds it).
#' @param cell Instead of `row` and `col`: the source as a cell number, as
#'   terra numbers the cells of a SpatRaster (row after row from the top
#'   left, [terra::cellFromRowCol()]) and as R indexes a matrix (`m[cell]`,
#'   column after column).
#' @return The spread surface in the shape of `resistance` (a matrix, or a
#'   SpatRaster with the same geometry, CRS and name): the remaining value in
#'   every reached cell, 0 in cells not reached, `NA` where `resistance` is
#'   `NA`.
#' @section Errors: [mirl_error] with the codes of `spread`: -501 value not
#'   greater than 0, -502 row or -503 column outside the surface, -507 out of
#'   memory. Sources that are not whole cell numbers (row 2.7), points
#'   outside the raster and a source given twice are R errors naming the
#'   argument.
#' @examples
#' res <- matrix(1, 5, 5)
#' res[2:4, 3] <- -1                       # a wall
#' cost_spread(res, value = 6, row = 3, col = 1, diagonal = FALSE)
#'
#' # volcano as a resistance surface
#' s <- cost_spread(volcano / 100, value = 50, row = 40, col = 30)
#' image(s)
#'
#' # the source as a point of a SpatRaster
#' r <- terra::rast(volcano / 100, extent = terra::ext(0, 610, 0, 870))
#' cost_spread(r, value = 50, xy = c(300, 470))
#' @export
cost_spread <- function(resistance, value, row, col, diagonal = TRUE, xy = NULL, cell = NULL) {
  g <- as_cells(resistance, "resistance")
  source <- spread_source(g, if (missing(row)) NULL else row, if (missing(col)) NULL else col,
                          xy, cell)
  surface <- as.double(g$values)
  barrier <- is.na(surface)
  surface[barrier] <- -1
  out <- .C("R_spread", result = integer(1), as.double(scalar_number(value, "value")),
            source[["row"]], source[["col"]], as.integer(g$nrow), as.integer(g$ncol),
            surface = surface, as.integer(flag(diagonal, "diagonal")), NAOK = TRUE,
            PACKAGE = "mirl_lib")
  checked(out$result, "spread", sprintf("spread from cell (%d, %d)", source[["row"]],
                                        source[["col"]]))
  surface <- out$surface
  surface[barrier] <- NA
  from_cells(surface, g)
}

# The source cell (row, col), counted from 1, from exactly one of: row and
# col, a point xy of a SpatRaster, or a cell number.
spread_source <- function(g, row, col, xy, cell) {
  given <- c(rowcol = !is.null(row) || !is.null(col), xy = !is.null(xy), cell = !is.null(cell))
  if (sum(given) != 1L) {
    stop("give the source once: `row` and `col`, or `xy`, or `cell`", call. = FALSE)
  }
  raster <- inherits(g$template, "SpatRaster")
  if (given[["xy"]]) {
    if (!raster) stop("`xy` needs a SpatRaster `resistance` (a matrix has no coordinates)",
                      call. = FALSE)
    if (!is.numeric(xy) || length(xy) != 2L || any(!is.finite(xy))) {
      stop("`xy` must be the two finite coordinates c(x, y) of a point", call. = FALSE)
    }
    cell <- terra::cellFromXY(g$template, matrix(xy, 1L))
    if (is.na(cell)) {
      stop(sprintf("`xy` (%s, %s) lies outside the raster", format(xy[[1]]), format(xy[[2]])),
           call. = FALSE)
    }
  }
  if (!is.null(cell)) {
    cell <- whole_number(cell, "cell", min = 1, max = g$nrow * g$ncol)
    nrow <- as.integer(g$nrow)
    ncol <- as.integer(g$ncol)
    if (raster) return(c(row = (cell - 1L) %/% ncol + 1L, col = (cell - 1L) %% ncol + 1L))
    return(c(row = (cell - 1L) %% nrow + 1L, col = (cell - 1L) %/% nrow + 1L))
  }
  if (is.null(row) || is.null(col)) stop("give both `row` and `col`", call. = FALSE)
  c(row = whole_number(row, "row"), col = whole_number(col, "col"))
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
            whole_number(row, "row"), whole_number(col, "col"),
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
