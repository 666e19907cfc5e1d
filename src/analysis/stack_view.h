// CStackView: a non-owning three-dimensional view of a caller's raster
// stack, one complete rows x cols layer after another, so that element
// (layer k, row r, column c) lies at ((k - first layer) * rows + (r - first
// row)) * cols + (c - first column). An element is valid when it is not
// equal to the missing value (a NaN is valid). The caller keeps the array
// alive while the view is used.
#ifndef MIRL_ANALYSIS_STACK_VIEW_H_
#define MIRL_ANALYSIS_STACK_VIEW_H_

#include <cstdint>

namespace mirl {
namespace analysis {

// One axis of a stack: its count and the indices of its first and last
// element.
struct CStackAxis {
  int32_t count;
  int32_t first;
  int32_t last;
};

template <typename T>
class CStackView {
 public:
  CStackView(T* data, T missing, int32_t layers, int32_t rows, int32_t cols, int32_t first = 0)
      : m_Data(data),
        m_Missing(missing),
        m_Cols{cols, first, first + cols - 1},
        m_Rows{rows, first, first + rows - 1},
        m_Layers{layers, first, first + layers - 1} {}

  /// Element (k, r, c), unchecked.
  T& operator()(int32_t k, int32_t r, int32_t c) const {
    return m_Data[(static_cast<int64_t>(k - m_Layers.first) * m_Rows.count + (r - m_Rows.first)) *
                      m_Cols.count +
                  (c - m_Cols.first)];
  }
  bool valid(int32_t k, int32_t r, int32_t c) const { return !((*this)(k, r, c) == m_Missing); }
  bool inside(int32_t k, int32_t r, int32_t c) const {
    return m_Layers.first <= k && k <= m_Layers.last && m_Rows.first <= r && r <= m_Rows.last &&
           m_Cols.first <= c && c <= m_Cols.last;
  }

  /// Cells of one layer, and the first element of layer k.
  int64_t layer_size() const { return static_cast<int64_t>(m_Rows.count) * m_Cols.count; }
  T* layer(int32_t k) const { return m_Data + (k - m_Layers.first) * layer_size(); }

  T* data() const { return m_Data; }
  T missing() const { return m_Missing; }
  const CStackAxis& cols() const { return m_Cols; }
  const CStackAxis& rows() const { return m_Rows; }
  const CStackAxis& layers() const { return m_Layers; }

 private:
  T* m_Data;
  T m_Missing;
  CStackAxis m_Cols;
  CStackAxis m_Rows;
  CStackAxis m_Layers;
};

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_STACK_VIEW_H_
