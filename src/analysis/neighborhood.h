// CNeighbor and CNeighborhood: the 4- or 8-neighbourhood of one cell of a
// surface, with each neighbour's position, validity and step factor.
// A neighbour is valid when it lies on the grid and its surface value is not
// negative (a negative resistance is a barrier).
#ifndef MIRL_ANALYSIS_NEIGHBORHOOD_H_
#define MIRL_ANALYSIS_NEIGHBORHOOD_H_

#include <cstdint>
#include <string>

#include "analysis/matrix_view.h"

namespace mirl {
namespace analysis {

struct CNeighbor {
  std::string m_Name;
  int32_t m_Row = -1;
  int32_t m_Col = -1;
  int32_t m_RowOffset = 0;
  int32_t m_ColOffset = 0;
  bool m_Valid = false;
  double m_StepFactor = 1.0;
};

class CNeighborhood {
 public:
  /// Diagonal step factor when diagonal weighting is asked for.
  static constexpr double kDiagonalFactor = 1.4;

  /// kind is 4 or 8; the surface view must outlive the neighbourhood.
  CNeighborhood(const CMatrixViewDbl& surface, int kind, bool diagonal_weighting);
  virtual ~CNeighborhood() {}

  /// Positions and validity of the active neighbours of the 0-based cell (r, c).
  void Compute(int32_t r, int32_t c) {
    m_Row = r;
    m_Col = c;
    const bool interior = r > 0 && c > 0 && r < m_RowCount - 1 && c < m_ColCount - 1;
    for (int i = 0; i < m_ActiveCount; ++i) {
      CNeighbor& n = *m_Active[i];
      n.m_Row = r + n.m_RowOffset;
      n.m_Col = c + n.m_ColOffset;
      bool valid = interior || (n.m_Row >= 0 && n.m_Row < m_RowCount && n.m_Col >= 0 &&
                                n.m_Col < m_ColCount);
      n.m_Valid = valid && !((*m_Surface)(n.m_Row, n.m_Col) < 0.0);
    }
  }

  /// Calls visit(neighbour, flat index, surface value) for each valid active
  /// neighbour of the 0-based cell (r, c), in visiting order. Same validity
  /// as Compute, without touching the records: the spread's inner loop.
  template <typename Visit>
  void ForEachValid(int32_t r, int32_t c, Visit&& visit) const {
    const double* surface = m_Surface->data();
    const int64_t here = static_cast<int64_t>(r) * m_ColCount + c;
    if (m_ActiveCount == 8 && r > 0 && c > 0 && r < m_RowCount - 1 && c < m_ColCount - 1) {
      for (int i = 0; i < 8; ++i) {
        const int64_t at = here + m_FlatOffset[i];
        const double value = surface[at];
        if (!(value < 0.0)) visit(i, at, value);
      }
      return;
    }
    for (int i = 0; i < m_ActiveCount; ++i) {
      const CNeighbor& n = *m_Active[i];
      const int32_t nr = r + n.m_RowOffset, nc = c + n.m_ColOffset;
      if (nr < 0 || nr >= m_RowCount || nc < 0 || nc >= m_ColCount) continue;
      const int64_t at = here + m_FlatOffset[i];
      const double value = surface[at];
      if (!(value < 0.0)) visit(i, at, value);
    }
  }
  /// Step factor, row and column offset of active neighbour i, and its
  /// offset in the surface's storage order.
  double factor(int i) const { return m_Factor[i]; }
  int64_t flat_offset(int i) const { return m_FlatOffset[i]; }
  int32_t row_offset(int i) const { return m_RowOffsetOf[i]; }
  int32_t col_offset(int i) const { return m_ColOffsetOf[i]; }

  int kind() const { return m_Kind; }
  int active_count() const { return m_ActiveCount; }
  /// Active neighbours in visiting order: N, S, E, W, then NE, NW, SE, SW.
  const CNeighbor& active(int i) const { return *m_Active[i]; }

 private:
  const CMatrixViewDbl* m_Surface;
  int m_Kind;
  int m_ActiveCount;
  int32_t m_Row = -1;
  int32_t m_Col = -1;
  int32_t m_RowCount;
  int32_t m_ColCount;
  CNeighbor m_Records[8];  // created NE, NW, SE, SW, N, S, E, W
  CNeighbor* m_Active[8];
  // Copies of the active records' fields, for the inner loop.
  int64_t m_FlatOffset[8];
  double m_Factor[8];
  int32_t m_RowOffsetOf[8];
  int32_t m_ColOffsetOf[8];
};

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_NEIGHBORHOOD_H_
