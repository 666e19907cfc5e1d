#include "analysis/cpu_features.h"

#if MIRL_X86_KERNELS
#include <immintrin.h>

#include <cmath>

#include "analysis/vector_exp_avx512.h"
#include "analysis/zdensity.h"

namespace mirl {
namespace analysis {

namespace {

// Elements ahead of the one being computed that are fetched into the cache
// (8 KB).
constexpr int64_t kPrefetchAhead = 1024;

// Densities of eight elements, the arithmetic of the AVX2 kernel lane for
// lane; missing lanes keep their value.
MIRL_TARGET_AVX512 inline __m512d DensityOf8(__m512d v, __m512d missing, __m512d mean, __m512d s2,
                                             __m512d k) {
  const __m512d d = _mm512_sub_pd(v, mean);
  const __m512d neg_d2 = _mm512_castsi512_pd(_mm512_xor_si512(
      _mm512_castpd_si512(_mm512_mul_pd(d, d)), _mm512_set1_epi64(INT64_MIN)));
  const __m512d x = _mm512_div_pd(neg_d2, s2);
  __m512d e = ExpAvx512(x);
  const __mmask8 in_domain = ExpAvx512InDomain(x);
  if (in_domain != 0xFF) {
    // Far tails, NaN and infinities go to std::exp lane by lane, as in the
    // other kernels.
    alignas(64) double xs[8], es[8];
    _mm512_store_pd(xs, x);
    _mm512_store_pd(es, e);
    for (int lane = 0; lane < 8; ++lane)
      if (!(in_domain & (1u << lane))) es[lane] = std::exp(xs[lane]);
    e = _mm512_load_pd(es);
  }
  const __m512d density = _mm512_div_pd(e, k);
  const __mmask8 valid = _mm512_cmp_pd_mask(v, missing, _CMP_NEQ_UQ);
  return _mm512_mask_blend_pd(valid, v, density);
}

}  // namespace

MIRL_TARGET_AVX512 void ZDensityAvx512(double* data, int64_t count, double missing,
                                       const ZDensityConstants& c) {
  const __m512d vmissing = _mm512_set1_pd(missing);
  const __m512d mean = _mm512_set1_pd(c.mean);
  const __m512d s2 = _mm512_set1_pd(c.s2);
  const __m512d k = _mm512_set1_pd(c.k);
  int64_t i = 0;
  for (; i + 16 <= count; i += 16) {
    _mm_prefetch(reinterpret_cast<const char*>(data + i + kPrefetchAhead), _MM_HINT_T0);
    const __m512d a = _mm512_loadu_pd(data + i);
    const __m512d b = _mm512_loadu_pd(data + i + 8);
    _mm512_storeu_pd(data + i, DensityOf8(a, vmissing, mean, s2, k));
    _mm512_storeu_pd(data + i + 8, DensityOf8(b, vmissing, mean, s2, k));
  }
  // The last elements through masked loads and stores: lanes past the end
  // are neither read nor written, and the others get the same arithmetic.
  for (; i < count; i += 8) {
    const int64_t rest = count - i < 8 ? count - i : 8;
    const __mmask8 m = static_cast<__mmask8>((1u << rest) - 1);
    const __m512d v = _mm512_mask_loadu_pd(vmissing, m, data + i);
    _mm512_mask_storeu_pd(data + i, m, DensityOf8(v, vmissing, mean, s2, k));
  }
}

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_X86_KERNELS
