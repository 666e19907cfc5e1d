// CConnRoamer: the best-first spread of a source value over a resistance
// surface into a result matrix. Each step into a neighbour costs its
// resistance times the neighbour's step factor; a cell is entered only when
// its remaining value stays positive and improves on what it holds by more
// than kMinImprovement.
//
// Entries come out of a bucket queue when the surface's steps allow one (no
// free step, and a ring of bounded size between the cheapest and dearest
// step), else out of a radix heap; both yield the largest value first.
//
// Both views are the caller's and must outlive the roamer. The surface is
// only read; the result must be all zeros before Run.
#ifndef MIRL_ANALYSIS_CONN_ROAMER_H_
#define MIRL_ANALYSIS_CONN_ROAMER_H_

#include <cstdint>

#include "analysis/matrix_view.h"
#include "analysis/monotone_max_queue.h"
#include "analysis/neighborhood.h"

namespace mirl {
namespace analysis {

class CConnRoamer {
 public:
  /// Improvements of this much or less are ignored.
  static constexpr double kMinImprovement = 0.0001;

  CConnRoamer(const CMatrixViewDbl& result, const CMatrixViewDbl& surface, double source_value,
              bool diagonal_weighting);
  virtual ~CConnRoamer() {}

  /// Spreads from the 0-based cell (r0, c0); returns the number of cells reached.
  int64_t Run(int32_t r0, int32_t c0);

 private:
  template <typename Queue>
  int64_t Spread(Queue* queue, int32_t r0, int32_t c0);

  const CMatrixViewDbl* m_Result;
  const CMatrixViewDbl* m_Surface;
  double m_Missing;
  double m_SourceValue;
  int32_t m_ColCount;
  int32_t m_RowCount;
  MonotoneMaxQueue m_Queue;
  CNeighborhood m_Neighborhood;
};

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_CONN_ROAMER_H_
