#include "analysis/conn_roamer.h"

#include <algorithm>
#include <cmath>

#include "analysis/bucket_max_queue.h"

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

namespace {

// How many pops ahead the cells of a queued entry are fetched.
constexpr size_t kPrefetchDistance = 4;

const BucketMaxQueue::Entry* PeekAhead(const BucketMaxQueue& queue) {
  return queue.peek(kPrefetchDistance);
}
const MonotoneMaxQueue::Entry* PeekAhead(const MonotoneMaxQueue&) { return nullptr; }

// The cheapest and the dearest step the spread can take: the smallest
// resistance of a cell it may enter, and the largest finite one times the
// largest step factor.
struct StepRange {
  double cheapest;
  double dearest;
};

StepRange StepRangeOf(const CMatrixViewDbl& surface, double largest_factor) {
  const double* s = surface.data();
  const int64_t n = surface.size();
  double lo = INFINITY, hi = 0;
  for (int64_t i = 0; i < n; ++i) {
    const double v = s[i];
    // Barriers (negative) and NaN are never entered, nor is an infinite
    // resistance, which leaves no positive value.
    if (v >= 0 && v < INFINITY) {
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  }
  return StepRange{lo, hi * largest_factor};
}

}  // namespace

int64_t CConnRoamer::Run(int32_t r0, int32_t c0) {
  double largest_factor = 1;
  for (int i = 0; i < m_Neighborhood.active_count(); ++i)
    largest_factor = std::max(largest_factor, m_Neighborhood.factor(i));
  const StepRange steps = StepRangeOf(*m_Surface, largest_factor);
  // No step can cost more than the source value and still leave a value.
  const double dearest = std::min(steps.dearest, m_SourceValue);
  if (BucketMaxQueue::Fits(m_SourceValue, steps.cheapest, dearest)) {
    BucketMaxQueue queue(m_SourceValue, steps.cheapest, dearest);
    return Spread(&queue, r0, c0);
  }
  return Spread(&m_Queue, r0, c0);
}

template <typename Queue>
int64_t CConnRoamer::Spread(Queue* queue, int32_t r0, int32_t c0) {
  const CMatrixViewDbl& result = *m_Result;
  result(r0, c0) = m_SourceValue;
  int64_t reached = 1;
  queue->push(m_SourceValue, r0, c0);
  while (!queue->empty()) {
    const auto top = queue->pop();
    if (const auto* ahead = PeekAhead(*queue)) {
      // Asks for the cells that pop will read: its held value and the
      // surface and held values of the rows above, at and below it. Far
      // from each other in memory, they would otherwise be waited for one
      // by one.
      const int64_t at = static_cast<int64_t>(ahead->row) * m_ColCount + ahead->col;
      const double* held = result.data() + at;
      const double* surface = m_Surface->data() + at;
      __builtin_prefetch(held);
      __builtin_prefetch(surface);
      if (ahead->row > 0) {
        __builtin_prefetch(held - m_ColCount);
        __builtin_prefetch(surface - m_ColCount);
      }
      if (ahead->row + 1 < m_RowCount) {
        __builtin_prefetch(held + m_ColCount);
        __builtin_prefetch(surface + m_ColCount);
      }
    }
    const double e = result(top.row, top.col);
    if (e > top.value) continue;  // improved after it was queued
    double* held_values = result.data();
    m_Neighborhood.ForEachValid(
        top.row, top.col, [&](int i, int64_t at, double resistance) {
          const double t = e - m_Neighborhood.factor(i) * resistance;
          double& held = held_values[at];
          if (t > 0 && t - held > kMinImprovement) {
            if (held == 0) ++reached;
            queue->push(t, top.row + m_Neighborhood.row_offset(i),
                        top.col + m_Neighborhood.col_offset(i));
            held = t;
          }
        });
  }
  return reached;
}

}  // namespace analysis
}  // namespace mirl
