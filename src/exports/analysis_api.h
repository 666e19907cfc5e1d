/* Analysis exports: they work on the caller's matrices and need no session.
 * See mirl_lib.h for the shared conventions. */
#ifndef MIRL_EXPORTS_ANALYSIS_API_H_
#define MIRL_EXPORTS_ANALYSIS_API_H_

#include "exports/mirl_api.h"

/* Spreads source_value from the 1-based cell (source_row, source_col) over
 * the resistance surface (nrows x ncols doubles), best first over the
 * 8-neighbourhood; a negative resistance is a barrier, a diagonal step costs
 * 1.4 x the entered cell's resistance when diagonal is non-zero. The result
 * replaces the surface. Returns the number of reached (non-zero) cells, or
 * -501 source value not > 0, -502 bad row, -503 bad column, -506 null surface,
 * -507 out of memory, -500 other failure. */
MIRL_API int spread(double source_value, int source_row, int source_col, int nrows,
                    int ncols, double* surface, int diagonal);
MIRL_API int R_spread(int* result, double* source_value, int* source_row,
                      int* source_col, int* nrows, int* ncols, double* surface,
                      int* diagonal);

#include "exports/analysis_grid_api.h"
#include "exports/analysis_stats_api.h"

#endif /* MIRL_EXPORTS_ANALYSIS_API_H_ */
