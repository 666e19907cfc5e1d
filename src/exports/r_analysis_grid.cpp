// R's .C twins of the wet spread, patch scan and matrix utility exports:
// dereference, call, store, return.
#include "exports/analysis_grid_api.h"

MIRL_API int R_wetspread(int* result, double* source_value, int* source_row, int* source_col,
                         int* nrows, int* ncols, double* cost, int* direction, double* wetness) {
  return *result = wetspread(*source_value, *source_row, *source_col, *nrows, *ncols, cost,
                             direction, wetness);
}

MIRL_API int R_patch_scan(int* result, int* grid, int* nrows, int* ncols, int* neighborhood,
                          int* missing, int* count) {
  return *result = patch_scan(grid, *nrows, *ncols, *neighborhood, *missing, count);
}

MIRL_API int R_mvrep_int(int* result, int* nrows, int* ncols, int* missing, int* value, int* grid,
                         unsigned char* mask) {
  return *result = mvrep_int(*nrows, *ncols, *missing, *value, grid, mask);
}

MIRL_API int R_mvrep_dbl(int* result, int* nrows, int* ncols, double* missing, double* value,
                         double* grid, unsigned char* mask) {
  return *result = mvrep_dbl(*nrows, *ncols, *missing, *value, grid, mask);
}

MIRL_API int R_sparseput_int(int* result, int* nrows, int* ncols, int* n, int* grid, int* coords,
                             int* values) {
  return *result = sparseput_int(*nrows, *ncols, *n, grid, coords, values);
}

MIRL_API int R_sparseput_dbl(int* result, int* nrows, int* ncols, int* n, double* grid, int* coords,
                             double* values) {
  return *result = sparseput_dbl(*nrows, *ncols, *n, grid, coords, values);
}

MIRL_API int R_sparseget_int(int* result, int* nrows, int* ncols, int* n, int* grid, int* coords,
                             int* values) {
  return *result = sparseget_int(*nrows, *ncols, *n, grid, coords, values);
}

MIRL_API int R_sparseget_dbl(int* result, int* nrows, int* ncols, int* n, double* grid, int* coords,
                             double* values) {
  return *result = sparseget_dbl(*nrows, *ncols, *n, grid, coords, values);
}

MIRL_API int R_clip_int(int* result, int* nrows, int* ncols, int* grid, int* box) {
  return *result = clip_int(*nrows, *ncols, grid, box);
}

MIRL_API int R_clip_dbl(int* result, int* nrows, int* ncols, double* grid, int* box) {
  return *result = clip_dbl(*nrows, *ncols, grid, box);
}
