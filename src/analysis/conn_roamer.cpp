#include "analysis/conn_roamer.h"

namespace mirl {
namespace analysis {

CConnRoamer::CConnRoamer(const CMatrixViewDbl& result, const CMatrixViewDbl& surface,
                         double source_value, bool diagonal_weighting)
    : m_Result(&result),
      m_Surface(&surface),
      m_Missing(surface.missing()),
      m_SourceValue(source_value),
      m_ColCount(surface.cols()),
      m_RowCount(surface.rows()),
      m_Neighborhood(surface, 8, diagonal_weighting) {}

int64_t CConnRoamer::Run(int32_t r0, int32_t c0) {
  const CMatrixViewDbl& result = *m_Result;
  result(r0, c0) = m_SourceValue;
  int64_t reached = 1;
  m_Queue.push(m_SourceValue, r0, c0);
  while (!m_Queue.empty()) {
    const MonotoneMaxQueue::Entry top = m_Queue.pop();
    const double e = result(top.row, top.col);
    if (e > top.value) continue;  // improved after it was queued
    double* held_values = result.data();
    m_Neighborhood.ForEachValid(
        top.row, top.col, [&](int i, int64_t at, double resistance) {
          const double t = e - m_Neighborhood.factor(i) * resistance;
          double& held = held_values[at];
          if (t > 0 && t - held > kMinImprovement) {
            if (held == 0) ++reached;
            m_Queue.push(t, top.row + m_Neighborhood.row_offset(i),
                         top.col + m_Neighborhood.col_offset(i));
            held = t;
          }
        });
  }
  return reached;
}

}  // namespace analysis
}  // namespace mirl
