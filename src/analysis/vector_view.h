// CVectorView: a non-owning one-dimensional view of a caller's array. An
// element is valid when it is not equal to the missing value (so a NaN is
// valid). The caller keeps the array alive while the view is used.
#ifndef MIRL_ANALYSIS_VECTOR_VIEW_H_
#define MIRL_ANALYSIS_VECTOR_VIEW_H_

#include <cstdint>

namespace mirl {
namespace analysis {

template <typename T>
class CVectorView {
 public:
  CVectorView(T* data, T missing, int64_t count, int64_t first = 0)
      : m_Data(data), m_Missing(missing), m_Count(count), m_First(first), m_Last(first + count - 1) {}

  /// Element i (first() .. last()), unchecked.
  T& operator()(int64_t i) const { return m_Data[i - m_First]; }
  bool inside(int64_t i) const { return m_First <= i && i <= m_Last; }
  bool valid(int64_t i) const { return !((*this)(i) == m_Missing); }

  T* data() const { return m_Data; }
  T missing() const { return m_Missing; }
  int64_t count() const { return m_Count; }
  int64_t first() const { return m_First; }
  int64_t last() const { return m_Last; }

 private:
  T* m_Data;
  T m_Missing;
  int64_t m_Count;
  int64_t m_First;
  int64_t m_Last;
};

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_VECTOR_VIEW_H_
