// R's .C twins of the analysis exports: dereference, call, store, return.
#include "exports/analysis_api.h"

MIRL_API int R_spread(int* result, double* source_value, int* source_row, int* source_col,
                      int* nrows, int* ncols, double* surface, int* diagonal) {
  return *result = spread(*source_value, *source_row, *source_col, *nrows, *ncols, surface,
                          *diagonal);
}
