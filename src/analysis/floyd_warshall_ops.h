// The update rules of the path closure, each as a scalar and (in x86
// builds) as a four-lane AVX2 form that give the same bits, and the row
// update that applies one rule along a stretch of a row. Internal to the
// floyd_warshall files.
#ifndef MIRL_ANALYSIS_FLOYD_WARSHALL_OPS_H_
#define MIRL_ANALYSIS_FLOYD_WARSHALL_OPS_H_

#include <cstdint>

#include "analysis/cpu_features.h"

#if MIRL_X86_KERNELS
#include <immintrin.h>
#endif

namespace mirl {
namespace analysis {
namespace fw {

// Mode 0. On values in 0..1 (or NaN), p > m already implies p != 0, and
// vmaxpd(p, m) is exactly "p > m ? p : m", NaNs included.
struct LargestProduct {
  static double Apply(double m, double a, double b) {
    const double p = a * b;
    return (p != 0.0 && p > m) ? p : m;
  }
#if MIRL_X86_KERNELS
  MIRL_TARGET_AVX2 static __m256d Apply(__m256d m, __m256d a, __m256d b) {
    return _mm256_max_pd(_mm256_mul_pd(a, b), m);
  }
#endif
};

// Mode 1 exactly as written, for any input.
struct SmallestSum {
  static double Apply(double m, double a, double b) {
    const double s = a + b;
    return (a * b != 0.0 && (s < m || m == 0.0)) ? s : m;
  }
#if MIRL_X86_KERNELS
  MIRL_TARGET_AVX2 static __m256d Apply(__m256d m, __m256d a, __m256d b) {
    const __m256d zero = _mm256_setzero_pd();
    const __m256d s = _mm256_add_pd(a, b);
    const __m256d linked = _mm256_cmp_pd(_mm256_mul_pd(a, b), zero, _CMP_NEQ_UQ);
    const __m256d better =
        _mm256_or_pd(_mm256_cmp_pd(s, m, _CMP_LT_OQ), _mm256_cmp_pd(m, zero, _CMP_EQ_OQ));
    return _mm256_blendv_pd(m, s, _mm256_and_pd(linked, better));
  }
#endif
};

// Mode 1 with "no connection" held as +infinity; vminpd(s, m) is exactly
// "s < m ? s : m".
struct MinPlus {
  static double Apply(double m, double a, double b) {
    const double s = a + b;
    return s < m ? s : m;
  }
#if MIRL_X86_KERNELS
  MIRL_TARGET_AVX2 static __m256d Apply(__m256d m, __m256d a, __m256d b) {
    return _mm256_min_pd(_mm256_add_pd(a, b), m);
  }
#endif
};

// out[j] = Op(out[j], a, b[j]) for j0 <= j < j1, j != skip (pass skip < 0
// for none). out and b may be the same row: each element reads only itself.
template <class Op>
void UpdateRowScalar(double* out, double a, const double* b, int64_t j0, int64_t j1, int64_t skip) {
  for (int64_t j = j0; j < j1; ++j)
    if (j != skip) out[j] = Op::Apply(out[j], a, b[j]);
}

#if MIRL_X86_KERNELS
template <class Op>
MIRL_TARGET_AVX2 void UpdateSpanAvx2(double* out, __m256d va, double a, const double* b, int64_t j0,
                                     int64_t j1) {
  int64_t j = j0;
  for (; j + 4 <= j1; j += 4)
    _mm256_storeu_pd(out + j, Op::Apply(_mm256_loadu_pd(out + j), va, _mm256_loadu_pd(b + j)));
  for (; j < j1; ++j) out[j] = Op::Apply(out[j], a, b[j]);
}

template <class Op>
MIRL_TARGET_AVX2 void UpdateRowAvx2(double* out, double a, const double* b, int64_t j0, int64_t j1,
                                    int64_t skip) {
  const __m256d va = _mm256_set1_pd(a);
  if (skip >= j0 && skip < j1) {
    UpdateSpanAvx2<Op>(out, va, a, b, j0, skip);
    UpdateSpanAvx2<Op>(out, va, a, b, skip + 1, j1);
  } else {
    UpdateSpanAvx2<Op>(out, va, a, b, j0, j1);
  }
}
#endif  // MIRL_X86_KERNELS

}  // namespace fw
}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_FLOYD_WARSHALL_OPS_H_
