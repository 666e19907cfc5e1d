#' mirl: raster-grid analysis and grid sessions over mirl_lib
#'
#' The package loads the library under the name `mirl_lib`, so that its
#' `.C` interface stays reachable as `.C("R_spread", ..., PACKAGE =
#' "mirl_lib")`; the functions of the package are the R-shaped layer over it.
#' The library registers its `R_` twins and `clean_up` with R as `.C`
#' routines (with their argument counts, which R CMD check compares with
#' every call) and hides every other symbol from R. The grid I/O library
#' `avgridio` is loaded beside it when the package loads (not through the
#' NAMESPACE, which would sort it before `mirl_lib`), for the CRS the
#' package names to it. A
#' small DLL of the package's own, `mirl_rcall`, reads grids through
#' `.Call` into new R vectors and makes the session calls that take C
#' pointers. R CMD check takes a package's first DLL for its own and calls
#' through a symbol of any other for calls into a foreign package: the
#' `.Call`s name their routines by address for that reason. terra's
#' namespace is loaded with the package's (the first use of terra costs
#' seconds, and is paid once, when the package loads).
#'
#' * Analysis on matrices or single-layer SpatRasters: [cost_spread()],
#'   [wet_spread()], [patch_scan()], [floyd_warshall()],
#'   [attribute_distance()], [normal_density()], [connect_rescale()],
#'   [replace_masked()], [sparse_put()], [sparse_get()], [clip_box()].
#' * Grid sessions: [grid_open()], [grid_window()], [grid_read()],
#'   [grid_write()], [grid_read_block()], [grid_write_block()],
#'   [grid_list()], [grid_describe()], [grid_create()], [grid_copy()],
#'   [grid_delete()], [grid_server_start()], [grid_map_blocks()].
#' * System utilities: [file_info()], [short_path()], [computer_name()],
#'   [process_id()].
#' * Failures: [mirl_error] conditions and the code table [mirl_codes()].
#'
#' Matrices are R matrices the right way round (row 1 the northern edge);
#' missing cells are `NA`.
#'
#' @keywords internal
#' @importFrom terra rast
#' @useDynLib mirl_lib
#' @useDynLib mirl_rcall, .registration = TRUE, .fixes = "C_"
"_PACKAGE"
