// CMatrixView: a non-owning view of a caller's matrix stored row after row
// (element (r, c) at (r - first_row) * cols + (c - first_col)). The view never
// copies or frees the array; the caller keeps it alive while the view is used.
#ifndef MIRL_ANALYSIS_MATRIX_VIEW_H_
#define MIRL_ANALYSIS_MATRIX_VIEW_H_

#include <cstdint>

namespace mirl {
namespace analysis {

template <typename T>
class CMatrixView {
 public:
  /// first_row and first_col: the index that addresses the first row and
  /// column (0 or 1, as the creator chooses).
  CMatrixView(T* data, T missing, int32_t rows, int32_t cols, int32_t first_row = 0,
              int32_t first_col = 0)
      : m_Data(data),
        m_Missing(missing),
        m_RowCount(rows),
        m_ColCount(cols),
        m_FirstRow(first_row),
        m_FirstCol(first_col),
        m_LastRow(first_row + rows - 1),
        m_LastCol(first_col + cols - 1) {}

  /// Element (r, c), unchecked.
  T& operator()(int32_t r, int32_t c) const {
    return m_Data[static_cast<int64_t>(r - m_FirstRow) * m_ColCount + (c - m_FirstCol)];
  }
  /// Element at flat position i (0 .. size()-1), unchecked.
  T& at_flat(int64_t i) const { return m_Data[i]; }

  bool inside(int32_t r, int32_t c) const {
    return m_FirstRow <= r && r <= m_LastRow && m_FirstCol <= c && c <= m_LastCol;
  }
  int64_t size() const { return static_cast<int64_t>(m_RowCount) * m_ColCount; }

  void fill(T v) const {
    const int64_t n = size();
    for (int64_t i = 0; i < n; ++i) m_Data[i] = v;
  }

  /// Copies other's elements by flat position over this view's size and
  /// returns how many copied values are not equal to 0 (a NaN counts).
  int64_t copy_from(const CMatrixView& other) const {
    const int64_t n = size();
    int64_t nonzero = 0;
    for (int64_t i = 0; i < n; ++i) {
      const T v = other.m_Data[i];
      m_Data[i] = v;
      nonzero += !(v == T(0));
    }
    return nonzero;
  }

  /// Sum of every element not equal to the missing value.
  T sum() const {
    T total = T(0);
    const int64_t n = size();
    for (int64_t i = 0; i < n; ++i)
      if (m_Data[i] != m_Missing) total += m_Data[i];
    return total;
  }

  T* data() const { return m_Data; }
  T missing() const { return m_Missing; }
  int32_t rows() const { return m_RowCount; }
  int32_t cols() const { return m_ColCount; }
  int32_t first_row() const { return m_FirstRow; }
  int32_t first_col() const { return m_FirstCol; }
  int32_t last_row() const { return m_LastRow; }
  int32_t last_col() const { return m_LastCol; }

 private:
  T* m_Data;
  T m_Missing;
  int32_t m_RowCount;
  int32_t m_ColCount;
  int32_t m_FirstRow;
  int32_t m_FirstCol;
  int32_t m_LastRow;
  int32_t m_LastCol;
};

using CMatrixViewDbl = CMatrixView<double>;
using CMatrixViewInt = CMatrixView<int32_t>;

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_MATRIX_VIEW_H_
