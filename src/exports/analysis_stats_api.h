/* Analysis exports over the caller's vectors, matrices and stacks: the
 * normal density transform, connectivity rescaling, all-pairs path values
 * and Euclidean attribute distance. They need no session, keep no state
 * between calls and start no threads. See mirl_lib.h for the shared
 * conventions; each logs "Entering <name>" and, for a bad argument,
 * "<name> returned with code: <code>" while the session log is open. */
#ifndef MIRL_EXPORTS_ANALYSIS_STATS_API_H_
#define MIRL_EXPORTS_ANALYSIS_STATS_API_H_

#include "exports/mirl_api.h"

/* Replaces every element of data (count doubles) that is not equal to
 * missing by exp(-(v - mean)^2 / (2 sd^2)) / (sqrt(2 * 3.1415) * sd).
 * Returns 1, or -401 count <= 0, -402 data null, -400 failure. */
MIRL_API int zdensity(double mean, double sd, int count, double* data, double missing);
MIRL_API int R_zdensity(int* result, double* mean, double* sd, int* count, double* data,
                        double* missing);

/* Connectivity rescaling over nrows x ncols matrices. Where the mask (int32)
 * differs from missing truncated toward zero, a value v becomes
 * offset - v / divisor (a value of exactly 0 becomes missing) and the
 * cell's weight is summed into W; elsewhere the value becomes missing. The
 * values then go through zdensity (mean 0, sd 1) and keep those densities.
 * The matrix variant writes density / W to result (0 for missing cells, all
 * 0 when W is 0); the scalar variant writes the sum of the densities / W to
 * *result. Returns 1, or (matrix / scalar) -321/-301 nrows <= 0,
 * -322/-302 ncols <= 0, -323/-303 divisor 0, -324/-304 values null,
 * -325/-305 weights null, -326/-306 mask null, -327/-307 result null,
 * -320/-300 failure, or the code of the density step. */
MIRL_API int connect_rescale_matrix(double divisor, double offset, int nrows, int ncols,
                                    double missing, double* values, double* weights, int* mask,
                                    double* result);
MIRL_API int connect_rescale_scalar(double divisor, double offset, int nrows, int ncols,
                                    double missing, double* values, double* weights, int* mask,
                                    double* result);
MIRL_API int R_connect_rescale_matrix(int* code, double* divisor, double* offset, int* nrows,
                                      int* ncols, double* missing, double* values, double* weights,
                                      int* mask, double* result);
MIRL_API int R_connect_rescale_scalar(int* code, double* divisor, double* offset, int* nrows,
                                      int* ncols, double* missing, double* values, double* weights,
                                      int* mask, double* result);

/* Closes the n x n matrix of direct connection values (row i, column j: from
 * node i to node j; 0 off the diagonal means no connection) over all
 * intermediate nodes in place, exactly as the Floyd-Warshall triple loop
 * does. mode 0: largest product (values in 0..1); mode 1: smallest sum. The
 * diagonal never changes. Returns 1, or -841 n < 2, -842 matrix null,
 * -843 mode not 0 or 1, -844 mode 0 with a value above 1 or below 0 (the
 * matrix is left unchanged), -840 failure. */
MIRL_API int floyd_warshall(int n, double* matrix, int mode);
MIRL_API int R_floyd_warshall(int* result, int* n, double* matrix, int* mode);

/* Euclidean distance in attribute space between every cell of a stack of
 * `layers` nrows x ncols matrices (layer k's cell (r, c) at element
 * (k * nrows + r) * ncols + c) and the reference vector (one value per
 * layer), written to result (nrows x ncols doubles). With skip_missing
 * non-zero a layer is left out of a cell's sum where its reference value or
 * the cell's value equals missing. Returns 1, or -101 layers <= 0,
 * -102 nrows <= 0, -103 ncols <= 0, -104 reference null, -105 stack null,
 * -106 result null, -100 failure. Both log under the name "eudist". */
MIRL_API int eudist_int(int layers, int nrows, int ncols, int missing, int* reference, int* stack,
                        double* result, int skip_missing);
MIRL_API int eudist_dbl(int layers, int nrows, int ncols, double missing, double* reference,
                        double* stack, double* result, int skip_missing);
MIRL_API int R_eudist_int(int* code, int* layers, int* nrows, int* ncols, int* missing,
                          int* reference, int* stack, double* result, int* skip_missing);
MIRL_API int R_eudist_dbl(int* code, int* layers, int* nrows, int* ncols, double* missing,
                          double* reference, double* stack, double* result, int* skip_missing);

#endif /* MIRL_EXPORTS_ANALYSIS_STATS_API_H_ */
