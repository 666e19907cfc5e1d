#include "analysis/cpu_features.h"

#if MIRL_X86_KERNELS
#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/eudist.h"

namespace mirl {
namespace analysis {

namespace {

// Cells per chunk: the partial sums of one chunk (16 KB) stay in the first
// level cache while the layers stream past them.
constexpr int64_t kChunk = 2048;
// Layers read side by side over one chunk: few enough streams for the
// hardware prefetcher to follow.
constexpr int kGroup = 8;

MIRL_TARGET_AVX2 inline __m256d Load4(const double* p) { return _mm256_loadu_pd(p); }
MIRL_TARGET_AVX2 inline __m256d Load4(const int32_t* p) {
  return _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// One layer's term for four cells, 0 where a skipped cell holds the missing
// value (adding +0 leaves a sum of squares unchanged).
template <bool kSkip>
MIRL_TARGET_AVX2 inline __m256d Term4(__m256d ref, __m256d v, __m256d missing) {
  const __m256d d = _mm256_sub_pd(ref, v);
  const __m256d sq = _mm256_mul_pd(d, d);
  if (!kSkip) return sq;
  return _mm256_andnot_pd(_mm256_cmp_pd(v, missing, _CMP_EQ_OQ), sq);
}

template <typename T, bool kSkip>
MIRL_TARGET_AVX2 void Kernel(const std::vector<const T*>& layers, const std::vector<double>& refs,
                             T missing, double* out, int64_t cells) {
  const int nl = static_cast<int>(layers.size());
  const __m256d vmissing = _mm256_set1_pd(static_cast<double>(missing));
  alignas(32) double acc[kChunk];
  for (int64_t c0 = 0; c0 < cells; c0 += kChunk) {
    const int64_t len = std::min(kChunk, cells - c0);
    const int64_t vec_len = len & ~int64_t{7};
    for (int g0 = 0; g0 < nl; g0 += kGroup) {
      const int g1 = std::min(nl, g0 + kGroup);
      const bool first = g0 == 0, last = g1 == nl;
      for (int64_t j = 0; j < vec_len; j += 8) {
        __m256d s0 = first ? _mm256_setzero_pd() : _mm256_load_pd(acc + j);
        __m256d s1 = first ? _mm256_setzero_pd() : _mm256_load_pd(acc + j + 4);
        for (int k = g0; k < g1; ++k) {
          const T* p = layers[k] + c0 + j;
          const __m256d ref = _mm256_set1_pd(refs[k]);
          s0 = _mm256_add_pd(s0, Term4<kSkip>(ref, Load4(p), vmissing));
          s1 = _mm256_add_pd(s1, Term4<kSkip>(ref, Load4(p + 4), vmissing));
        }
        if (last) {
          _mm256_storeu_pd(out + c0 + j, _mm256_sqrt_pd(s0));
          _mm256_storeu_pd(out + c0 + j + 4, _mm256_sqrt_pd(s1));
        } else {
          _mm256_store_pd(acc + j, s0);
          _mm256_store_pd(acc + j + 4, s1);
        }
      }
      for (int64_t j = vec_len; j < len; ++j) {
        double s = first ? 0.0 : acc[j];
        for (int k = g0; k < g1; ++k) {
          const T value = layers[k][c0 + j];
          if (kSkip && value == missing) continue;
          const double d = refs[k] - static_cast<double>(value);
          s += d * d;
        }
        if (last) {
          out[c0 + j] = std::sqrt(s);
        } else {
          acc[j] = s;
        }
      }
    }
  }
}

}  // namespace

template <typename T>
MIRL_TARGET_AVX2 void EudistAvx2(const CVectorView<T>& reference, const CStackView<T>& stack,
                                 const CMatrixViewDbl& result, bool skip_missing) {
  // Layers whose reference value is missing drop out of every cell at once.
  std::vector<const T*> layers;
  std::vector<double> refs;
  for (int32_t k = reference.first(); k <= reference.last(); ++k) {
    if (skip_missing && reference(k) == stack.missing()) continue;
    layers.push_back(stack.layer(k - reference.first() + stack.layers().first));
    refs.push_back(static_cast<double>(reference(k)));
  }
  double* out = result.data();
  const int64_t cells = result.size();
  if (layers.empty()) {
    result.fill(0.0);
  } else if (skip_missing) {
    Kernel<T, true>(layers, refs, stack.missing(), out, cells);
  } else {
    Kernel<T, false>(layers, refs, stack.missing(), out, cells);
  }
}

template void EudistAvx2<double>(const CVectorView<double>&, const CStackView<double>&,
                                 const CMatrixViewDbl&, bool);
template void EudistAvx2<int32_t>(const CVectorView<int32_t>&, const CStackView<int32_t>&,
                                  const CMatrixViewDbl&, bool);

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_X86_KERNELS
