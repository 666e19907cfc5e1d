// R's .C twins of the density, connectivity, path and distance exports:
// dereference, call, store, return.
#include "exports/analysis_stats_api.h"

MIRL_API int R_zdensity(int* result, double* mean, double* sd, int* count, double* data,
                        double* missing) {
  return *result = zdensity(*mean, *sd, *count, data, *missing);
}

MIRL_API int R_connect_rescale_matrix(int* code, double* divisor, double* offset, int* nrows,
                                      int* ncols, double* missing, double* values, double* weights,
                                      int* mask, double* result) {
  return *code = connect_rescale_matrix(*divisor, *offset, *nrows, *ncols, *missing, values,
                                        weights, mask, result);
}

MIRL_API int R_connect_rescale_scalar(int* code, double* divisor, double* offset, int* nrows,
                                      int* ncols, double* missing, double* values, double* weights,
                                      int* mask, double* result) {
  return *code = connect_rescale_scalar(*divisor, *offset, *nrows, *ncols, *missing, values,
                                        weights, mask, result);
}

MIRL_API int R_floyd_warshall(int* result, int* n, double* matrix, int* mode) {
  return *result = floyd_warshall(*n, matrix, *mode);
}

MIRL_API int R_eudist_int(int* code, int* layers, int* nrows, int* ncols, int* missing,
                          int* reference, int* stack, double* result, int* skip_missing) {
  return *code =
             eudist_int(*layers, *nrows, *ncols, *missing, reference, stack, result, *skip_missing);
}

MIRL_API int R_eudist_dbl(int* code, int* layers, int* nrows, int* ncols, double* missing,
                          double* reference, double* stack, double* result, int* skip_missing) {
  return *code =
             eudist_dbl(*layers, *nrows, *ncols, *missing, reference, stack, result, *skip_missing);
}
