#include "analysis/floyd_warshall.h"

#include <cfloat>
#include <cmath>

#include "analysis/cpu_features.h"

namespace mirl {
namespace analysis {

namespace {

// Mode 1 on the blocked road needs every pass k to leave row k and column k
// alone: with a diagonal d >= 0 and finite, M(i,k) + d < M(i,k) never holds,
// and M(i,k) = 0 gives the product 0 * d = 0, so no update fires.
bool DiagonalFiniteNonNegative(const CMatrixViewDbl& m) {
  for (int32_t i = 0; i < m.rows(); ++i) {
    const double d = m(i, i);
    if (!(d >= 0.0 && d <= DBL_MAX)) return false;
  }
  return true;
}

// The min-plus form gives the same bits when no product of two connections
// can underflow to 0 (every connection >= 2^-500), no path sum can overflow
// (every connection <= DBL_MAX / 4n: with positive lengths a stored value
// exceeds the sum along a shortest path, of at most n - 1 connections, by
// rounding only), and no connection-free cell is -0 (it would come back as
// +0).
bool MinPlusExact(const CMatrixViewDbl& m) {
  const double lowest = std::ldexp(1.0, -500);
  const double highest = DBL_MAX / (4.0 * m.rows());
  for (int32_t i = 0; i < m.rows(); ++i) {
    for (int32_t j = 0; j < m.cols(); ++j) {
      if (i == j) continue;
      const double v = m(i, j);
      if (v == 0.0) {
        if (std::signbit(v)) return false;
      } else if (!(v >= lowest && v <= highest)) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool ProbabilitiesInRange(const CMatrixViewDbl& m) {
  const int64_t cells = m.size();
  for (int64_t i = 0; i < cells; ++i) {
    const double v = m.at_flat(i);
    if (v > 1.0 || v < 0.0) return false;
  }
  return true;
}

PathRoad ChoosePathRoad(const CMatrixViewDbl& m, PathMode mode) {
  if (!CpuHasAvx2()) return PathRoad::kPlain;
  // Mode 0's range (a diagonal <= 1 and connections >= 0) already keeps row
  // k and column k fixed in pass k: M(i,k) * d <= M(i,k).
  if (mode == PathMode::kLargestProduct) return PathRoad::kBlockedLargestProduct;
  if (!DiagonalFiniteNonNegative(m)) return PathRoad::kPlain;
  return MinPlusExact(m) ? PathRoad::kBlockedMinPlus : PathRoad::kBlockedSmallestSum;
}

void FloydWarshall(const CMatrixViewDbl& m, PathMode mode) {
#if MIRL_X86_KERNELS
  const PathRoad road = ChoosePathRoad(m, mode);
  if (road != PathRoad::kPlain) {
    FloydWarshallBlocked(m.data(), m.rows(), road, kFloydWarshallBlock);
    return;
  }
#endif
  FloydWarshallPlain(m.data(), m.rows(), mode);
}

}  // namespace analysis
}  // namespace mirl
