// All-pairs path values over an n x n matrix of direct connection values,
// closed in place with the Floyd-Warshall triple loop
//   for k, for i, for j (i != j): M(i,j) = update(M(i,j), M(i,k), M(k,j))
// where mode 0 keeps the largest product (update when p = M(i,k) * M(k,j)
// is not 0 and p > M(i,j)) and mode 1 the smallest sum (update to
// M(i,k) + M(k,j) when M(i,k) * M(k,j) is not 0 and the sum is below
// M(i,j) or M(i,j) is 0). Every road below gives bit for bit the matrix of
// that loop run in that order, NaNs and a negative diagonal included.
//
// Works only on the caller's matrix; the blocked roads allocate about
// 3 x n x kFloydWarshallBlock doubles of scratch before they touch it
// (std::bad_alloc when that fails, with the matrix unchanged).
#ifndef MIRL_ANALYSIS_FLOYD_WARSHALL_H_
#define MIRL_ANALYSIS_FLOYD_WARSHALL_H_

#include <cstdint>

#include "analysis/matrix_view.h"

namespace mirl {
namespace analysis {

enum class PathMode : int32_t { kLargestProduct = 0, kSmallestSum = 1 };

// Mode 0's precondition: false at the first value (in storage order) above
// 1 or below 0. A NaN passes.
bool ProbabilitiesInRange(const CMatrixViewDbl& m);

// How a closure is computed.
enum class PathRoad {
  // The triple loop itself, vectorised along j in the loop's own order.
  kPlain,
  // Cache-blocked passes; exact because every pass k then leaves row k and
  // column k unchanged, so the updates of one pass commute.
  kBlockedLargestProduct,  // mode 0 (its range guarantees a diagonal <= 1)
  kBlockedSmallestSum,     // mode 1, diagonal finite and >= 0
  // Mode 1 on a min-plus form (no connection as +infinity), where the input
  // rules out underflowing products, overflowing sums and -0 off the
  // diagonal, so that each update is the same comparison and the same sum.
  kBlockedMinPlus,
};

// The fastest road that gives the triple loop's matrix for this input.
PathRoad ChoosePathRoad(const CMatrixViewDbl& m, PathMode mode);

// Closes m (square, first index 0) by the chosen road. In mode 0 the caller
// has checked ProbabilitiesInRange.
void FloydWarshall(const CMatrixViewDbl& m, PathMode mode);

// The roads themselves, for tests and benchmarks. FloydWarshallPlain takes
// any input (mode 0: in range); with allow_vector false it keeps to scalar
// code, as on a processor without AVX2. FloydWarshallBlocked needs CpuHasAvx2() and a
// blocked road that ChoosePathRoad allows for the input (std::invalid_argument
// for kPlain); block is the number of passes per block (> 0). It exists in
// x86 builds only: elsewhere ChoosePathRoad always answers kPlain.
void FloydWarshallPlain(double* m, int32_t n, PathMode mode, bool allow_vector = true);
void FloydWarshallBlocked(double* m, int32_t n, PathRoad road, int32_t block);

constexpr int32_t kFloydWarshallBlock = 128;

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_FLOYD_WARSHALL_H_
