// The library's exponential eight doubles at a time with AVX-512: the steps
// of ExpAvx2 (analysis/vector_exp.h) lane for lane, with the same constants,
// table, rounding and fused operations, so that it gives the same bits as
// ExpAvx2 and ExpScalar on every input of their domain. Only the table is
// read differently, from registers instead of memory. x86 only.
#ifndef MIRL_ANALYSIS_VECTOR_EXP_AVX512_H_
#define MIRL_ANALYSIS_VECTOR_EXP_AVX512_H_

#include "analysis/cpu_features.h"
#include "analysis/vector_exp.h"

#if MIRL_X86_KERNELS
#include <immintrin.h>

namespace mirl {
namespace analysis {

// Lanes where x lies in the domain (none for NaN).
MIRL_TARGET_AVX512 inline __mmask8 ExpAvx512InDomain(__m512d x) {
  return _mm512_cmp_pd_mask(x, _mm512_set1_pd(kExpAvx2Lowest), _CMP_GE_OQ) &
         _mm512_cmp_pd_mask(x, _mm512_set1_pd(kExpAvx2Highest), _CMP_LE_OQ);
}

// kExp2Sixtyfourths[j] for j in 0..63: the 64 entries sit in eight
// registers; a two-register permute picks within each sixteen, and bits 4
// and 5 of j choose among the four results.
MIRL_TARGET_AVX512 inline __m512d Exp2SixtyfourthsOf(__m512i j) {
  const double* t = kExp2Sixtyfourths;
  const __m512d q0 = _mm512_permutex2var_pd(_mm512_load_pd(t), j, _mm512_load_pd(t + 8));
  const __m512d q1 = _mm512_permutex2var_pd(_mm512_load_pd(t + 16), j, _mm512_load_pd(t + 24));
  const __m512d q2 = _mm512_permutex2var_pd(_mm512_load_pd(t + 32), j, _mm512_load_pd(t + 40));
  const __m512d q3 = _mm512_permutex2var_pd(_mm512_load_pd(t + 48), j, _mm512_load_pd(t + 56));
  const __mmask8 bit4 = _mm512_test_epi64_mask(j, _mm512_set1_epi64(16));
  const __mmask8 bit5 = _mm512_test_epi64_mask(j, _mm512_set1_epi64(32));
  const __m512d low = _mm512_mask_blend_pd(bit4, q0, q1);
  const __m512d high = _mm512_mask_blend_pd(bit4, q2, q3);
  return _mm512_mask_blend_pd(bit5, low, high);
}

MIRL_TARGET_AVX512 inline __m512d ExpAvx512(__m512d x) {
  // The zero-masked forms with every lane selected are the plain
  // instructions; they spare GCC's false warning on the plain intrinsics'
  // undefined pass-through operand.
  constexpr __mmask8 kAll = 0xFF;
  const __m512d n =
      _mm512_maskz_roundscale_pd(kAll, _mm512_mul_pd(x, _mm512_set1_pd(kExpSixtyfourOverLn2)),
                                 _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  __m512d r = _mm512_fnmadd_pd(n, _mm512_set1_pd(kExpLn2OverSixtyfourHigh), x);
  r = _mm512_fnmadd_pd(n, _mm512_set1_pd(kExpLn2OverSixtyfourLow), r);

  const __m512i ni = _mm512_cvtpd_epi64(n);  // n is integral: exact
  const __m512i j = _mm512_and_si512(ni, _mm512_set1_epi64(63));
  const __m512i k_bits = _mm512_maskz_slli_epi64(kAll, _mm512_sub_epi64(ni, j), 46);
  const __m512d t = _mm512_castsi512_pd(
      _mm512_add_epi64(_mm512_castpd_si512(Exp2SixtyfourthsOf(j)), k_bits));

  __m512d p = _mm512_set1_pd(1.0 / 720.0);
  p = _mm512_fmadd_pd(p, r, _mm512_set1_pd(1.0 / 120.0));
  p = _mm512_fmadd_pd(p, r, _mm512_set1_pd(1.0 / 24.0));
  p = _mm512_fmadd_pd(p, r, _mm512_set1_pd(1.0 / 6.0));
  p = _mm512_fmadd_pd(p, r, _mm512_set1_pd(0.5));
  p = _mm512_fmadd_pd(p, _mm512_mul_pd(r, r), r);
  return _mm512_fmadd_pd(t, p, t);
}

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_X86_KERNELS
#endif  // MIRL_ANALYSIS_VECTOR_EXP_AVX512_H_
