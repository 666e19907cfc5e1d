#include "analysis/neighborhood.h"

namespace mirl {
namespace analysis {

namespace {
struct Direction {
  const char* name;
  int32_t row_offset;
  int32_t col_offset;
  bool diagonal;
};
// Creation order of the records.
const Direction kDirections[8] = {
    {"NE", -1, +1, true}, {"NW", -1, -1, true}, {"SE", +1, +1, true}, {"SW", +1, -1, true},
    {"N", -1, 0, false},  {"S", +1, 0, false},  {"E", 0, +1, false},  {"W", 0, -1, false},
};
// Visiting order as indices into the records.
const int kVisitOrder[8] = {4, 5, 6, 7, 0, 1, 2, 3};
}  // namespace

CNeighborhood::CNeighborhood(const CMatrixViewDbl& surface, int kind, bool diagonal_weighting)
    : m_Surface(&surface),
      m_Kind(kind == 4 ? 4 : 8),
      m_ActiveCount(kind == 4 ? 4 : 8),
      m_RowCount(surface.rows()),
      m_ColCount(surface.cols()) {
  for (int i = 0; i < 8; ++i) {
    const Direction& d = kDirections[i];
    m_Records[i].m_Name = d.name;
    m_Records[i].m_RowOffset = d.row_offset;
    m_Records[i].m_ColOffset = d.col_offset;
    m_Records[i].m_StepFactor = (d.diagonal && diagonal_weighting) ? kDiagonalFactor : 1.0;
  }
  for (int i = 0; i < 8; ++i) {
    m_Active[i] = &m_Records[kVisitOrder[i]];
    m_FlatOffset[i] =
        static_cast<int64_t>(m_Active[i]->m_RowOffset) * m_ColCount + m_Active[i]->m_ColOffset;
    m_Factor[i] = m_Active[i]->m_StepFactor;
    m_RowOffsetOf[i] = m_Active[i]->m_RowOffset;
    m_ColOffsetOf[i] = m_Active[i]->m_ColOffset;
  }
}

}  // namespace analysis
}  // namespace mirl
