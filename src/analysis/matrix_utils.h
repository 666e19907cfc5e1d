// Small matrix utilities for hosts that move data between their own
// structures and raster matrices: a masked replace, sparse put and get by
// coordinate pairs, and the bounding box of the non-zero cells.
//
// Every function works through the caller's views and keeps nothing; the
// views must cover the arrays they name. Not thread safe on shared arrays.
#ifndef MIRL_ANALYSIS_MATRIX_UTILS_H_
#define MIRL_ANALYSIS_MATRIX_UTILS_H_

#include <cstdint>

#include "analysis/matrix_view.h"
#include "analysis/vector_view.h"

namespace mirl {
namespace analysis {

/// Sets every cell whose bit is set in mask (cell k = flat position k, bit
/// 0x80 >> (k % 8) of byte k / 8) to value; the others stay.
template <typename T>
void MaskedReplace(const CMatrixView<T>& grid, const unsigned char* mask, T value) {
  const int64_t n = grid.size();
  T* data = grid.data();
  int64_t k = 0;
  for (; k + 8 <= n; k += 8) {
    const unsigned bits = mask[k >> 3];
    if (bits == 0) continue;
    for (int b = 0; b < 8; ++b)
      if (bits & (0x80u >> b)) data[k + b] = value;
  }
  for (; k < n; ++k)
    if (mask[k >> 3] & (0x80u >> (k & 7))) data[k] = value;
}

/// Pair k of coords (an n x 2 view, first indices 1) names a cell of grid
/// (first indices 1) as (row, column). Returns false at the first pair
/// outside the grid; the pairs before it have been handled.
template <typename T>
bool SparsePut(const CMatrixView<T>& grid, const CMatrixView<const int32_t>& coords,
               const CVectorView<const T>& values) {
  for (int32_t k = coords.first_row(); k <= coords.last_row(); ++k) {
    const int32_t r = coords(k, coords.first_col());
    const int32_t c = coords(k, coords.first_col() + 1);
    if (!grid.inside(r, c)) return false;
    grid(r, c) = values(k);
  }
  return true;
}

template <typename T>
bool SparseGet(const CMatrixView<const T>& grid, const CMatrixView<const int32_t>& coords,
               const CVectorView<T>& values) {
  for (int32_t k = coords.first_row(); k <= coords.last_row(); ++k) {
    const int32_t r = coords(k, coords.first_col());
    const int32_t c = coords(k, coords.first_col() + 1);
    if (!grid.inside(r, c)) return false;
    values(k) = grid(r, c);
  }
  return true;
}

/// Rows and columns in the grid view's own numbering.
struct CellBox {
  int32_t top;
  int32_t bottom;
  int32_t left;
  int32_t right;
};

/// The box of the cells not equal to 0 (a NaN counts): the first and last
/// rows that hold one, and the first and last columns that hold one within
/// those rows. Returns false, leaving box alone, when there is none.
template <typename T>
bool NonZeroBox(const CMatrixView<const T>& grid, CellBox* box) {
  auto nonzero = [](T v) { return !(v == T(0)); };
  const int32_t c0 = grid.first_col(), c1 = grid.last_col();
  auto row_has = [&](int32_t r) {
    for (int32_t c = c0; c <= c1; ++c)
      if (nonzero(grid(r, c))) return true;
    return false;
  };
  int32_t top = grid.first_row();
  while (top <= grid.last_row() && !row_has(top)) ++top;
  if (top > grid.last_row()) return false;
  int32_t bottom = grid.last_row();
  while (!row_has(bottom)) --bottom;
  // Row by row rather than column by column: each row is scanned only up to
  // the best edge found so far, which gives the same columns in storage order.
  int32_t left = c1 + 1, right = c0 - 1;
  for (int32_t r = top; r <= bottom; ++r) {
    for (int32_t c = c0; c < left; ++c)
      if (nonzero(grid(r, c))) {
        left = c;
        break;
      }
    for (int32_t c = c1; c > right; --c)
      if (nonzero(grid(r, c))) {
        right = c;
        break;
      }
  }
  *box = CellBox{top, bottom, left, right};
  return true;
}

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_MATRIX_UTILS_H_
