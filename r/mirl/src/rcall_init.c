/* The .Call routines of mirl_rcall, registered when R loads it. */
#include <R.h>
#include <Rinternals.h>
#include <R_ext/Rdynload.h>

SEXP mirl_read_grid(SEXP name, SEXP rows, SEXP cols, SEXP by_rows);
SEXP mirl_read_block(SEXP name, SEXP row, SEXP col, SEXP nrows, SEXP ncols, SEXP margin,
                     SEXP by_rows);
SEXP mirl_grid_waits(SEXP attempts, SEXP pause_ms, SEXP connect_timeout_ms);
SEXP mirl_window_crs(SEXP crs);

static const R_CallMethodDef kCallMethods[] = {
    {"mirl_read_grid", (DL_FUNC)&mirl_read_grid, 4},
    {"mirl_read_block", (DL_FUNC)&mirl_read_block, 7},
    {"mirl_grid_waits", (DL_FUNC)&mirl_grid_waits, 3},
    {"mirl_window_crs", (DL_FUNC)&mirl_window_crs, 1},
    {NULL, NULL, 0}};

void R_init_mirl_rcall(DllInfo* dll) {
  R_registerRoutines(dll, NULL, kCallMethods, NULL, NULL);
  R_useDynamicSymbols(dll, FALSE);
}
