#include "analysis/conn_roamer.h"

#include <algorithm>
#include <cmath>

#include "analysis/bucket_max_queue.h"
#include "analysis/cpu_features.h"

#if MIRL_SSE2_KERNELS
#include <emmintrin.h>
#endif

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

#if MIRL_SSE2_KERNELS
// Step factors of an interior cell's neighbours, two to a vector as they
// lie in memory: (north-west, north), (north, north-east), (west, east),
// (south-west, south) and (south, south-east); the north of the second and
// the south of the fifth pair are read but not used.
struct PairFactors {
  __m128d above, above_east, across, below, below_east;
};

PairFactors PairFactorsOf(const CNeighborhood& hood) {
  // Visiting order: N, S, E, W, NE, NW, SE, SW.
  const auto f = [&hood](int i) { return hood.factor(i); };
  return PairFactors{_mm_set_pd(f(0), f(5)), _mm_set_pd(f(4), f(0)), _mm_set_pd(f(2), f(3)),
                     _mm_set_pd(f(1), f(7)), _mm_set_pd(f(6), f(1))};
}

// Bits 0 and 1: whether each of two neighbours is entered from a cell
// holding e: not a barrier, t = e - factor x resistance > 0, and t above
// its held value by more than kMinImprovement. The arithmetic is a cell's
// own, two at a time, so the decisions are the same.
inline int EnteredPair(__m128d surface, __m128d held, __m128d factor, __m128d e) {
  const __m128d zero = _mm_setzero_pd();
  const __m128d t = _mm_sub_pd(e, _mm_mul_pd(factor, surface));
  const __m128d open = _mm_cmpnlt_pd(surface, zero);  // NaN passes, as in the scalar test
  const __m128d gain = _mm_cmpgt_pd(_mm_sub_pd(t, held), _mm_set1_pd(CConnRoamer::kMinImprovement));
  return _mm_movemask_pd(_mm_and_pd(_mm_and_pd(open, _mm_cmpgt_pd(t, zero)), gain));
}

// Bit i set when neighbour i (visiting order) of the interior cell at s / h
// in the surface and held values is entered. Eight tests in five pairs
// instead of eight branches, which on a random surface are coin tosses.
inline uint32_t EnteredNeighbours(const double* s, const double* h, int64_t cols, double e,
                                  const PairFactors& f) {
  const __m128d ve = _mm_set1_pd(e);
  const int above = EnteredPair(_mm_loadu_pd(s - cols - 1), _mm_loadu_pd(h - cols - 1), f.above, ve);
  const int above_east = EnteredPair(_mm_loadu_pd(s - cols), _mm_loadu_pd(h - cols), f.above_east, ve);
  const int across =
      EnteredPair(_mm_set_pd(s[1], s[-1]), _mm_set_pd(h[1], h[-1]), f.across, ve);
  const int below = EnteredPair(_mm_loadu_pd(s + cols - 1), _mm_loadu_pd(h + cols - 1), f.below, ve);
  const int below_east = EnteredPair(_mm_loadu_pd(s + cols), _mm_loadu_pd(h + cols), f.below_east, ve);
  return static_cast<uint32_t>((above >> 1) | (below & 2) | ((across & 2) << 1) |
                               ((across & 1) << 3) | ((above_east & 2) << 3) |
                               ((above & 1) << 5) | ((below_east & 2) << 5) | ((below & 1) << 7));
}
#endif  // MIRL_SSE2_KERNELS

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
#if MIRL_SSE2_KERNELS
  const double* surface_values = m_Surface->data();
  const PairFactors pair_factors = PairFactorsOf(m_Neighborhood);
#endif
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
    const auto enter = [&](int i, int64_t at, double resistance) {
      const double t = e - m_Neighborhood.factor(i) * resistance;
      double& held = held_values[at];
      if (t > 0 && t - held > kMinImprovement) {
        if (held == 0) ++reached;
        queue->push(t, top.row + m_Neighborhood.row_offset(i),
                    top.col + m_Neighborhood.col_offset(i));
        held = t;
      }
    };
#if MIRL_SSE2_KERNELS
    if (top.row > 0 && top.col > 0 && top.row < m_RowCount - 1 && top.col < m_ColCount - 1) {
      const int64_t here = static_cast<int64_t>(top.row) * m_ColCount + top.col;
      for (uint32_t entered = EnteredNeighbours(surface_values + here, held_values + here,
                                                m_ColCount, e, pair_factors);
           entered != 0; entered &= entered - 1) {
        const int i = __builtin_ctz(entered);
        const int64_t at = here + m_Neighborhood.flat_offset(i);
        enter(i, at, surface_values[at]);
      }
    } else
#endif
    {
      // Edge cells, and every cell where the pairs above have no vector
      // form: the same tests neighbour by neighbour, in the same order.
      m_Neighborhood.ForEachValid(top.row, top.col, enter);
    }
  }
  return reached;
}

}  // namespace analysis
}  // namespace mirl
