// The conversions between the caller's cells and the packets' cells: the
// packets carry 32-bit integers and floats, the callers integers and
// doubles. Every conversion is defined for every input, NaN and values
// beyond the target's range included.
#ifndef MIRL_GRIDAPI_CELL_CONVERT_H_
#define MIRL_GRIDAPI_CELL_CONVERT_H_

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "protocol/cell_pool.h"
#include "protocol/large_block.h"

namespace mirl {
namespace gridapi {

// Toward zero; NaN gives INT32_MIN (R's NA_integer_), values beyond the
// range the nearest end of it.
inline std::int32_t TruncateToInt(double value) noexcept {
  if (std::isnan(value)) return std::numeric_limits<std::int32_t>::min();
  if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

// To the nearest float; magnitudes beyond the float range become infinite.
inline float RoundToFloat(double value) noexcept {
  if (value > FLT_MAX) return std::numeric_limits<float>::infinity();
  if (value < -FLT_MAX) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

// One reply cell into one caller cell.
inline std::int32_t ToCaller(std::int32_t cell, std::int32_t*) noexcept { return cell; }
inline std::int32_t ToCaller(float cell, std::int32_t*) noexcept { return TruncateToInt(cell); }
inline double ToCaller(std::int32_t cell, double*) noexcept { return cell; }
inline double ToCaller(float cell, double*) noexcept { return cell; }

// Floats widened into doubles four at a time: the build's -O2 leaves the
// plain loop scalar, and a whole grid of millions of cells crosses here on
// every readgrid_dbl. Widening is exact and keeps NaN a NaN.
inline void Widen(const float* from, std::size_t count, double* to) noexcept {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 4 <= count; i += 4) {
    const __m128 four = _mm_loadu_ps(from + i);
    _mm_storeu_pd(to + i, _mm_cvtps_pd(four));
    _mm_storeu_pd(to + i + 2, _mm_cvtps_pd(_mm_movehl_ps(four, four)));
  }
#endif
  for (; i < count; ++i) to[i] = from[i];
}

// Copies the first count cells of from into to, converted; false (nothing
// written) when from holds fewer than count cells. A caller's array of many
// megabytes is often fresh memory (a new R vector, say): it is advised onto
// large pages before the first write.
template <class From, class To>
bool CopyOut(const std::vector<From>& from, std::size_t count, To* to) noexcept {
  if (from.size() < count) return false;
  grd_svr::AdviseLargeBlock(to, count * sizeof(To));
  if constexpr (std::is_same<From, float>::value && std::is_same<To, double>::value) {
    Widen(from.data(), count, to);
  } else {
    for (std::size_t i = 0; i < count; ++i) to[i] = ToCaller(from[i], to);
  }
  return true;
}

// The caller's count cells into a packet's vector, in storage from the
// cell pool. Sized first, so that a count no vector can hold throws before
// the caller's array is touched.
inline void CopyIn(const std::int32_t* from, std::size_t count, std::vector<std::int32_t>& to) {
  grd_svr::TakeCells(to, count);
  to.assign(from, from + count);
}
inline void CopyIn(const double* from, std::size_t count, std::vector<float>& to) {
  grd_svr::TakeCells(to, count);
  to.resize(count);
  for (std::size_t i = 0; i < count; ++i) to[i] = RoundToFloat(from[i]);
}

// The caller's count cells into the packet vector of its cell type; the
// other vector stays as it is (empty in a new request).
inline void CopyIn(const std::int32_t* from, std::size_t count, std::vector<std::int32_t>& ints,
                   std::vector<float>&) {
  CopyIn(from, count, ints);
}
inline void CopyIn(const double* from, std::size_t count, std::vector<std::int32_t>&,
                   std::vector<float>& floats) {
  CopyIn(from, count, floats);
}

}  // namespace gridapi
}  // namespace mirl

#endif  // MIRL_GRIDAPI_CELL_CONVERT_H_
