#include "analysis/cpu_features.h"

#if MIRL_X86_KERNELS
#include <immintrin.h>

#include <cmath>

#include "analysis/vector_exp.h"
#include "analysis/zdensity.h"

namespace mirl {
namespace analysis {

namespace {

// Densities of four elements; missing lanes keep their value. The quotient
// -(d * d) / s2 is a true division, so the exponential sees exactly the
// argument the scalar formula computes.
MIRL_TARGET_AVX2_FMA inline __m256d DensityOf4(__m256d v, __m256d missing, __m256d mean, __m256d s2,
                                               __m256d k) {
  const __m256d d = _mm256_sub_pd(v, mean);
  const __m256d neg_d2 = _mm256_xor_pd(_mm256_mul_pd(d, d), _mm256_set1_pd(-0.0));
  const __m256d x = _mm256_div_pd(neg_d2, s2);
  __m256d e = ExpAvx2(x);
  const __m256d in_domain = ExpAvx2InDomain(x);
  if (_mm256_movemask_pd(in_domain) != 0xF) {
    // Far tails (subnormal or zero densities), NaN and infinities: rare
    // enough to leave to std::exp lane by lane.
    alignas(32) double xs[4], es[4];
    _mm256_store_pd(xs, x);
    _mm256_store_pd(es, e);
    const int ok = _mm256_movemask_pd(in_domain);
    for (int lane = 0; lane < 4; ++lane)
      if (!(ok & (1 << lane))) es[lane] = std::exp(xs[lane]);
    e = _mm256_load_pd(es);
  }
  const __m256d density = _mm256_div_pd(e, k);
  const __m256d valid = _mm256_cmp_pd(v, missing, _CMP_NEQ_UQ);
  return _mm256_blendv_pd(v, density, valid);
}

}  // namespace

MIRL_TARGET_AVX2_FMA void ZDensityAvx2(double* data, int64_t count, double missing,
                                       const ZDensityConstants& c) {
  const __m256d vmissing = _mm256_set1_pd(missing);
  const __m256d mean = _mm256_set1_pd(c.mean);
  const __m256d s2 = _mm256_set1_pd(c.s2);
  const __m256d k = _mm256_set1_pd(c.k);
  int64_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256d a = _mm256_loadu_pd(data + i);
    const __m256d b = _mm256_loadu_pd(data + i + 4);
    _mm256_storeu_pd(data + i, DensityOf4(a, vmissing, mean, s2, k));
    _mm256_storeu_pd(data + i + 4, DensityOf4(b, vmissing, mean, s2, k));
  }
  if (i < count) {
    // The last few elements go through the same kernel from a padded copy,
    // so that every element gets the same arithmetic wherever it lies.
    alignas(32) double tail[8];
    const int64_t rest = count - i;
    for (int64_t t = 0; t < 8; ++t) tail[t] = t < rest ? data[i + t] : missing;
    _mm256_store_pd(tail, DensityOf4(_mm256_load_pd(tail), vmissing, mean, s2, k));
    _mm256_store_pd(tail + 4, DensityOf4(_mm256_load_pd(tail + 4), vmissing, mean, s2, k));
    for (int64_t t = 0; t < rest; ++t) data[i + t] = tail[t];
  }
}

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_X86_KERNELS
