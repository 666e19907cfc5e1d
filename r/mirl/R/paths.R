#' Close a matrix of connections over all paths
#'
#' The Floyd-Warshall triple loop over a square matrix of direct connection
#' values between nodes (row i, column j: from node i to node j). An
#' off-diagonal 0 means no direct connection; the diagonal is never changed.
#'
#' @param m A square numeric matrix, at least 2 x 2.
#' @param mode `"max_product"`: for every pair the path whose product of
#'   values (probabilities in 0..1) is largest. `"min_sum"`: the path whose
#'   sum of values (lengths, costs) is smallest.
#' @return The closed matrix, with the dimnames of `m`.
#' @section Errors: [mirl_error] with the codes of `floyd_warshall`: -841
#'   fewer than 2 nodes; -844 a value outside 0..1 in `"max_product"` mode.
#' @examples
#' m <- matrix(c(0, 2, 0,
#'               0, 0, 3,
#'               0, 0, 0), 3, byrow = TRUE)
#' floyd_warshall(m, mode = "min_sum")     # 1 -> 3 becomes 5
#' p <- matrix(c(1, 0.5, 0.2,
#'               0, 1, 0.5,
#'               0, 0, 1), 3, byrow = TRUE)
#' floyd_warshall(p, mode = "max_product") # 1 -> 3 becomes 0.25
#' @export
floyd_warshall <- function(m, mode = c("max_product", "min_sum")) {
  mode <- match.arg(mode)
  if (!is.matrix(m) || !is.numeric(m) || nrow(m) != ncol(m)) {
    stop("`m` must be a square numeric matrix", call. = FALSE)
  }
  out <- .C("R_floyd_warshall", result = integer(1), as.integer(nrow(m)),
            matrix = as.double(t(m)), as.integer(mode == "min_sum"), NAOK = TRUE,
            PACKAGE = "mirl_lib")
  checked(out$result, "floyd_warshall", sprintf("%s closure of %d nodes", mode, nrow(m)))
  result <- matrix(na_restored(out$matrix), nrow(m), byrow = TRUE)
  dimnames(result) <- dimnames(m)
  result
}
