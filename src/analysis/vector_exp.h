// The library's own exponential, for the hot loops that would otherwise
// call std::exp per element: four doubles at once with AVX2 and FMA, and
// the same steps one double at a time (ExpScalar) for processors without
// them, so that a result never depends on the machine it was computed on.
// On its domain it stays within 2 ulp of std::exp (the tests hold it to
// that; 1 ulp is the worst seen), and both forms give the same bits.
//
// Domain: -708 <= x <= 709, where e^x and every intermediate are normal
// doubles. Callers send other lanes (NaN, infinities, results that would be
// subnormal) to std::exp instead; ExpAvx2InDomain and ExpInDomain tell
// which qualify. The vector form exists on x86 only (MIRL_X86_KERNELS);
// ExpScalar everywhere.
#ifndef MIRL_ANALYSIS_VECTOR_EXP_H_
#define MIRL_ANALYSIS_VECTOR_EXP_H_

#include <cmath>
#include <cstdint>
#include <cstring>

#include "analysis/cpu_features.h"
#include "analysis/exact_fma.h"

#if MIRL_X86_KERNELS
#include <immintrin.h>
#endif

namespace mirl {
namespace analysis {

constexpr double kExpAvx2Lowest = -708.0;
constexpr double kExpAvx2Highest = 709.0;

// 64 / ln 2, and ln 2 / 64 split in two so that n * ln 2 / 64 is subtracted
// with a double's worth of bits beyond those of r.
constexpr double kExpSixtyfourOverLn2 = 0x1.71547652b82fep6;
constexpr double kExpLn2OverSixtyfourHigh = 0x1.62e42fefa39efp-7;
constexpr double kExpLn2OverSixtyfourLow = 0x1.abc9e3b39803fp-62;

// 2^(j / 64) for j = 0..63, each the double nearest to it.
alignas(64) inline constexpr double kExp2Sixtyfourths[64] = {
    0x1.0000000000000p+0, 0x1.02c9a3e778061p+0, 0x1.059b0d3158574p+0, 0x1.0874518759bc8p+0,
    0x1.0b5586cf9890fp+0, 0x1.0e3ec32d3d1a2p+0, 0x1.11301d0125b51p+0, 0x1.1429aaea92de0p+0,
    0x1.172b83c7d517bp+0, 0x1.1a35beb6fcb75p+0, 0x1.1d4873168b9aap+0, 0x1.2063b88628cd6p+0,
    0x1.2387a6e756238p+0, 0x1.26b4565e27cddp+0, 0x1.29e9df51fdee1p+0, 0x1.2d285a6e4030bp+0,
    0x1.306fe0a31b715p+0, 0x1.33c08b26416ffp+0, 0x1.371a7373aa9cbp+0, 0x1.3a7db34e59ff7p+0,
    0x1.3dea64c123422p+0, 0x1.4160a21f72e2ap+0, 0x1.44e086061892dp+0, 0x1.486a2b5c13cd0p+0,
    0x1.4bfdad5362a27p+0, 0x1.4f9b2769d2ca7p+0, 0x1.5342b569d4f82p+0, 0x1.56f4736b527dap+0,
    0x1.5ab07dd485429p+0, 0x1.5e76f15ad2148p+0, 0x1.6247eb03a5585p+0, 0x1.6623882552225p+0,
    0x1.6a09e667f3bcdp+0, 0x1.6dfb23c651a2fp+0, 0x1.71f75e8ec5f74p+0, 0x1.75feb564267c9p+0,
    0x1.7a11473eb0187p+0, 0x1.7e2f336cf4e62p+0, 0x1.82589994cce13p+0, 0x1.868d99b4492edp+0,
    0x1.8ace5422aa0dbp+0, 0x1.8f1ae99157736p+0, 0x1.93737b0cdc5e5p+0, 0x1.97d829fde4e50p+0,
    0x1.9c49182a3f090p+0, 0x1.a0c667b5de565p+0, 0x1.a5503b23e255dp+0, 0x1.a9e6b5579fdbfp+0,
    0x1.ae89f995ad3adp+0, 0x1.b33a2b84f15fbp+0, 0x1.b7f76f2fb5e47p+0, 0x1.bcc1e904bc1d2p+0,
    0x1.c199bdd85529cp+0, 0x1.c67f12e57d14bp+0, 0x1.cb720dcef9069p+0, 0x1.d072d4a07897cp+0,
    0x1.d5818dcfba487p+0, 0x1.da9e603db3285p+0, 0x1.dfc97337b9b5fp+0, 0x1.e502ee78b3ff6p+0,
    0x1.ea4afa2a490dap+0, 0x1.efa1bee615a27p+0, 0x1.f50765b6e4540p+0, 0x1.fa7c1819e90d8p+0,
};

#if MIRL_X86_KERNELS

// All-ones lanes where x lies in the domain (false for NaN).
MIRL_TARGET_AVX2_FMA inline __m256d ExpAvx2InDomain(__m256d x) {
  const __m256d lo = _mm256_cmp_pd(x, _mm256_set1_pd(kExpAvx2Lowest), _CMP_GE_OQ);
  const __m256d hi = _mm256_cmp_pd(x, _mm256_set1_pd(kExpAvx2Highest), _CMP_LE_OQ);
  return _mm256_and_pd(lo, hi);
}

// e^x = 2^k * 2^(j/64) * e^r with n = 64k + j = round(64 x / ln 2) and
// |r| <= ln 2 / 128; e^r - 1 by its Taylor series to the 6th power, whose
// remainder is below 2e-20 there.
MIRL_TARGET_AVX2_FMA inline __m256d ExpAvx2(__m256d x) {
  const __m256d n = _mm256_round_pd(_mm256_mul_pd(x, _mm256_set1_pd(kExpSixtyfourOverLn2)),
                                    _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  __m256d r = _mm256_fnmadd_pd(n, _mm256_set1_pd(kExpLn2OverSixtyfourHigh), x);
  r = _mm256_fnmadd_pd(n, _mm256_set1_pd(kExpLn2OverSixtyfourLow), r);

  // 2^(j/64) from the table, its exponent raised by k (n stays within
  // -65376..65467 on the domain, so the product is a normal double).
  const __m256i ni = _mm256_cvtepi32_epi64(_mm256_cvtpd_epi32(n));
  const __m256i j = _mm256_and_si256(ni, _mm256_set1_epi64x(63));
  const __m256i k_bits = _mm256_slli_epi64(_mm256_sub_epi64(ni, j), 46);
  const __m256d t = _mm256_castsi256_pd(
      _mm256_add_epi64(_mm256_castpd_si256(_mm256_i64gather_pd(kExp2Sixtyfourths, j, 8)), k_bits));

  __m256d p = _mm256_set1_pd(1.0 / 720.0);
  p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0 / 120.0));
  p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0 / 24.0));
  p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(1.0 / 6.0));
  p = _mm256_fmadd_pd(p, r, _mm256_set1_pd(0.5));
  p = _mm256_fmadd_pd(p, _mm256_mul_pd(r, r), r);
  return _mm256_fmadd_pd(t, p, t);
}

#endif  // MIRL_X86_KERNELS

inline bool ExpInDomain(double x) { return x >= kExpAvx2Lowest && x <= kExpAvx2Highest; }

// ExpAvx2's steps for one double, operation for operation: a fused multiply
// and add where it has one (ExactFma rounds once, as the instruction does,
// whatever the processor and C library), the same rounding to nearest, the
// same table and polynomial. x must be in the domain.
inline double ExpScalar(double x) {
  const double n = std::nearbyint(x * kExpSixtyfourOverLn2);
  double r = ExactFma(-n, kExpLn2OverSixtyfourHigh, x);
  r = ExactFma(-n, kExpLn2OverSixtyfourLow, r);

  const std::int64_t ni = static_cast<std::int64_t>(n);
  const std::int64_t j = ni & 63;
  std::uint64_t bits;
  std::memcpy(&bits, &kExp2Sixtyfourths[j], sizeof bits);
  // 2^k as an exponent increment; unsigned, so that a negative k wraps as
  // the vector form's 64-bit lanes do.
  bits += static_cast<std::uint64_t>(ni - j) << 46;
  double t;
  std::memcpy(&t, &bits, sizeof t);

  double p = 1.0 / 720.0;
  p = ExactFma(p, r, 1.0 / 120.0);
  p = ExactFma(p, r, 1.0 / 24.0);
  p = ExactFma(p, r, 1.0 / 6.0);
  p = ExactFma(p, r, 0.5);
  p = ExactFma(p, r * r, r);
  return ExactFma(t, p, t);
}

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_VECTOR_EXP_H_
