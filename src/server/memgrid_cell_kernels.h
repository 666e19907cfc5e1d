// Whole-grid passes over the cells of the in-process grid server (mapping a
// missing marker in a reply). The build compiles at -O2,
// where GCC leaves these loops scalar; a layer of millions of cells spends
// most of a cached GridLoad in them, so they are written with SSE2, which
// every x86-64 has, and fall back to plain loops elsewhere.
//
// Float cells compare as floats (NaN equals nothing, -0 equals 0), exactly
// as the plain loop's operator== does.
//
// Pure functions over the caller's memory; thread-safe for distinct cells.
#ifndef MIRL_SERVER_MEMGRID_CELL_KERNELS_H_
#define MIRL_SERVER_MEMGRID_CELL_KERNELS_H_

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace grd_svr {

// Every cell equal to marker becomes missing.
inline void ReplaceMarker(float* cells, std::size_t count, float marker, float missing) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128 m = _mm_set1_ps(marker);
  const __m128 with = _mm_set1_ps(missing);
  for (; i + 4 <= count; i += 4) {
    const __m128 v = _mm_loadu_ps(cells + i);
    const __m128 hit = _mm_cmpeq_ps(v, m);
    _mm_storeu_ps(cells + i, _mm_or_ps(_mm_and_ps(hit, with), _mm_andnot_ps(hit, v)));
  }
#endif
  for (; i < count; ++i)
    if (cells[i] == marker) cells[i] = missing;
}

inline void ReplaceMarker(std::int32_t* cells, std::size_t count, std::int32_t marker,
                          std::int32_t missing) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i m = _mm_set1_epi32(marker);
  const __m128i with = _mm_set1_epi32(missing);
  for (; i + 4 <= count; i += 4) {
    __m128i* at = reinterpret_cast<__m128i*>(cells + i);
    const __m128i v = _mm_loadu_si128(at);
    const __m128i hit = _mm_cmpeq_epi32(v, m);
    _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(hit, with), _mm_andnot_si128(hit, v)));
  }
#endif
  for (; i < count; ++i)
    if (cells[i] == marker) cells[i] = missing;
}

}  // namespace grd_svr

#endif  // MIRL_SERVER_MEMGRID_CELL_KERNELS_H_
