#include "analysis/matrix_utils.h"

#include "analysis/matrix_view.h"
#include "analysis/vector_view.h"
#include "exports/analysis_grid_api.h"
#include "session/export_frame.h"
#include "logging/log.h"

namespace {

using namespace mirl;
using namespace mirl::analysis;

const char* const kMvrep = "mvrep";
const char* const kSparsePut = "sparseput";
const char* const kSparseGet = "sparseget";
const char* const kClip = "clip";

template <typename T>
int MaskedReplaceExport(int nrows, int ncols, T missing, T value, T* grid,
                        const unsigned char* mask) {
  return run_guarded(
      [&]() -> int {
        log_entering(kMvrep);
        if (nrows <= 0) return log_returned(kMvrep, -201);
        if (ncols <= 0) return log_returned(kMvrep, -202);
        if (grid == nullptr) return log_returned(kMvrep, -203);
        if (mask == nullptr) return log_returned(kMvrep, -204);
        MaskedReplace(CMatrixView<T>(grid, missing, nrows, ncols), mask, value);
        return 1;
      },
      -200);
}

// Put and get share their checks and differ in the direction of the copy;
// base is the first code of the family's band (-140 or -160).
template <typename Copy>
int SparseExport(const char* name, int base, int nrows, int ncols, int n, const void* grid,
                 const int* coords, const void* values, Copy copy) {
  return run_guarded(
      [&]() -> int {
        log_entering(name);
        if (ncols <= 0) return log_returned(name, base - 1);
        if (nrows <= 0) return log_returned(name, base - 2);
        if (n <= 0) return log_returned(name, base - 3);
        if (grid == nullptr) return log_returned(name, base - 4);
        if (coords == nullptr) return log_returned(name, base - 5);
        if (values == nullptr) return log_returned(name, base - 6);
        const int code = run_guarded(
            [&]() -> int {
              const CMatrixView<const int32_t> pairs(coords, 0, n, 2, 1, 1);
              return copy(pairs) ? 1 : base - 7;
            },
            base);
        return log_returned(name, code);
      },
      base);
}

template <typename T>
int SparsePutExport(int nrows, int ncols, int n, T* grid, const int* coords, const T* values) {
  return SparseExport(kSparsePut, -140, nrows, ncols, n, grid, coords, values,
                      [&](const CMatrixView<const int32_t>& pairs) {
                        return SparsePut(CMatrixView<T>(grid, T(0), nrows, ncols, 1, 1), pairs,
                                         CVectorView<const T>(values, T(0), n, 1));
                      });
}

template <typename T>
int SparseGetExport(int nrows, int ncols, int n, const T* grid, const int* coords, T* values) {
  return SparseExport(kSparseGet, -160, nrows, ncols, n, grid, coords, values,
                      [&](const CMatrixView<const int32_t>& pairs) {
                        return SparseGet(CMatrixView<const T>(grid, T(0), nrows, ncols, 1, 1),
                                         pairs, CVectorView<T>(values, T(0), n, 1));
                      });
}

template <typename T>
int ClipExport(int nrows, int ncols, const T* grid, int* box) {
  return run_guarded(
      [&]() -> int {
        log_entering(kClip);
        if (nrows <= 0) return log_returned(kClip, -121);
        if (ncols <= 0) return log_returned(kClip, -122);
        if (grid == nullptr) return log_returned(kClip, -123);
        if (box == nullptr) return log_returned(kClip, -124);
        const int code = run_guarded(
            [&]() -> int {
              CellBox found;
              if (!NonZeroBox(CMatrixView<const T>(grid, T(0), nrows, ncols, 1, 1), &found))
                return -125;
              box[0] = found.top;
              box[1] = found.bottom;
              box[2] = found.left;
              box[3] = found.right;
              return 1;
            },
            -120);
        return code == -125 ? code : log_returned(kClip, code);
      },
      -120);
}

}  // namespace

MIRL_API int mvrep_int(int nrows, int ncols, int missing, int value, int* grid,
                       const unsigned char* mask) {
  return MaskedReplaceExport(nrows, ncols, missing, value, grid, mask);
}

MIRL_API int mvrep_dbl(int nrows, int ncols, double missing, double value, double* grid,
                       const unsigned char* mask) {
  return MaskedReplaceExport(nrows, ncols, missing, value, grid, mask);
}

MIRL_API int sparseput_int(int nrows, int ncols, int n, int* grid, const int* coords,
                           const int* values) {
  return SparsePutExport(nrows, ncols, n, grid, coords, values);
}

MIRL_API int sparseput_dbl(int nrows, int ncols, int n, double* grid, const int* coords,
                           const double* values) {
  return SparsePutExport(nrows, ncols, n, grid, coords, values);
}

MIRL_API int sparseget_int(int nrows, int ncols, int n, const int* grid, const int* coords,
                           int* values) {
  return SparseGetExport(nrows, ncols, n, grid, coords, values);
}

MIRL_API int sparseget_dbl(int nrows, int ncols, int n, const double* grid, const int* coords,
                           double* values) {
  return SparseGetExport(nrows, ncols, n, grid, coords, values);
}

MIRL_API int clip_int(int nrows, int ncols, const int* grid, int* box) {
  return ClipExport(nrows, ncols, grid, box);
}

MIRL_API int clip_dbl(int nrows, int ncols, const double* grid, int* box) {
  return ClipExport(nrows, ncols, grid, box);
}
