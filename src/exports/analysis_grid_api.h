/* Analysis exports over raster matrices: wet spread along a flow network,
 * patch labelling and the small matrix utilities. They work on the caller's
 * arrays (rows one after another, row and column arguments 1-based) and
 * need no session. See mirl_lib.h for the shared conventions. */
#ifndef MIRL_EXPORTS_ANALYSIS_GRID_API_H_
#define MIRL_EXPORTS_ANALYSIS_GRID_API_H_

#include "exports/mirl_api.h"

/* Spreads source_value from the 1-based cell (source_row, source_col) along
 * the D8 direction grid (1 E, 2 SE, 4 S, 8 SW, 16 W, 32 NW, 64 N, 128 NE):
 * downstream from the source, and upstream into every tributary of that
 * path whose first cell is dry (0 in wetness). Entering a cell costs its
 * cost; each reached cell receives its remaining value in wetness, other
 * cells keep theirs. cost and direction are read only; all three are
 * nrows x ncols. Returns 1, or -241 source value not > 0, -242 bad row,
 * -243 bad column, -246 null cost, -247 null direction, -248 null wetness,
 * -249 the walk cannot end, -240 failure (out of memory included).
 * A cycle of the direction grid is walked round and round, as water would
 * run, until the value is spent. -249 means that the walk came back round a
 * cycle to a cell of its current path (downstream path or upstream chain)
 * with a value not smaller than the cell had there before (the cycle's
 * costs sum to 0 or less, or are too small to change the value), or that it
 * would enter more than 2 x nrows x ncols + 4194304 cells in all (laps
 * counted; a walk without cycles enters each cell at most once). After -249
 * and -240 the cells reached so far keep their new values. */
MIRL_API int wetspread(double source_value, int source_row, int source_col, int nrows, int ncols,
                       const double* cost, const int* direction, double* wetness);
MIRL_API int R_wetspread(int* result, double* source_value, int* source_row, int* source_col,
                         int* nrows, int* ncols, double* cost, int* direction, double* wetness);

/* Labels in place the patches of grid (nrows x ncols): maximal sets of
 * cells holding one same value >= 0 (not the missing value) connected
 * through the 4- or 8-neighbourhood (neighborhood 4 or 8). Patches are
 * numbered 0, 1, ... in the storage order of their first cells; missing and
 * negative cells keep their values. *count receives the number of patches.
 * Returns 1, or -221 null grid, -222 nrows <= 0, -223 ncols <= 0,
 * -224 neighborhood not 4 or 8, -225 null count, -227 more cells than
 * int32 patch numbers can hold, -226 out of memory, -220 other failure; on
 * every failure grid and count are unchanged. */
MIRL_API int patch_scan(int* grid, int nrows, int ncols, int neighborhood, int missing, int* count);
MIRL_API int R_patch_scan(int* result, int* grid, int* nrows, int* ncols, int* neighborhood,
                          int* missing, int* count);

/* Writes value into every cell of grid (nrows x ncols) whose bit is set in
 * mask: cell k = r * ncols + c is bit 0x80 >> (k % 8) of byte k / 8, so the
 * mask holds (nrows * ncols + 7) / 8 bytes. missing has no effect. Returns
 * 1, or -201 nrows <= 0, -202 ncols <= 0, -203 null grid, -204 null mask,
 * -200 failure. */
MIRL_API int mvrep_int(int nrows, int ncols, int missing, int value, int* grid,
                       const unsigned char* mask);
MIRL_API int mvrep_dbl(int nrows, int ncols, double missing, double value, double* grid,
                       const unsigned char* mask);
MIRL_API int R_mvrep_int(int* result, int* nrows, int* ncols, int* missing, int* value, int* grid,
                         unsigned char* mask);
MIRL_API int R_mvrep_dbl(int* result, int* nrows, int* ncols, double* missing, double* value,
                         double* grid, unsigned char* mask);

/* sparseput copies values[k] into the grid cell named by the 1-based pair
 * (coords[2k], coords[2k + 1]), for k = 0 .. n - 1 in order; sparseget
 * copies the cell into values[k]. Returns 1, or (sparseput / sparseget)
 * -141 / -161 ncols <= 0, -142 / -162 nrows <= 0, -143 / -163 n <= 0,
 * -144 / -164 null grid, -145 / -165 null coords, -146 / -166 null values,
 * -147 / -167 a pair outside the grid (the pairs before it were copied),
 * -140 / -160 failure. */
MIRL_API int sparseput_int(int nrows, int ncols, int n, int* grid, const int* coords,
                           const int* values);
MIRL_API int sparseput_dbl(int nrows, int ncols, int n, double* grid, const int* coords,
                           const double* values);
MIRL_API int sparseget_int(int nrows, int ncols, int n, const int* grid, const int* coords,
                           int* values);
MIRL_API int sparseget_dbl(int nrows, int ncols, int n, const double* grid, const int* coords,
                           double* values);
MIRL_API int R_sparseput_int(int* result, int* nrows, int* ncols, int* n, int* grid, int* coords,
                             int* values);
MIRL_API int R_sparseput_dbl(int* result, int* nrows, int* ncols, int* n, double* grid, int* coords,
                             double* values);
MIRL_API int R_sparseget_int(int* result, int* nrows, int* ncols, int* n, int* grid, int* coords,
                             int* values);
MIRL_API int R_sparseget_dbl(int* result, int* nrows, int* ncols, int* n, double* grid, int* coords,
                             double* values);

/* Writes into box the 1-based bounding box of the cells of grid
 * (nrows x ncols) that are not equal to 0 (a NaN counts): first row, last
 * row, first column, last column. Returns 1, or -121 nrows <= 0,
 * -122 ncols <= 0, -123 null grid, -124 null box, -125 no such cell (box
 * unchanged), -120 failure. */
MIRL_API int clip_int(int nrows, int ncols, const int* grid, int* box);
MIRL_API int clip_dbl(int nrows, int ncols, const double* grid, int* box);
MIRL_API int R_clip_int(int* result, int* nrows, int* ncols, int* grid, int* box);
MIRL_API int R_clip_dbl(int* result, int* nrows, int* ncols, double* grid, int* box);

#endif /* MIRL_EXPORTS_ANALYSIS_GRID_API_H_ */
