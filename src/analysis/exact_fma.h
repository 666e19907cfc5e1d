// a * b + c rounded once, to nearest with ties to even: the same bits on
// every processor and C library. (Some C libraries compute std::fma in
// extended precision, rounding twice, where the processor has no fused
// multiply-add; the library's own exponential must not depend on that.)
//
// ExactFmaInteger does it in integer arithmetic, on any processor. ExactFma
// is the processor's own instruction where every processor of the build's
// target has one (64-bit ARM, say, or an x86 build for FMA), which rounds
// once by definition, and ExactFmaInteger elsewhere (plain x86-64).
//
// Exact for finite arguments whose product and result are normal doubles or
// zero; subnormal or infinite results are outside its contract (the
// exponential never produces them on its domain).
//
// Thread safety: pure functions.
#ifndef MIRL_ANALYSIS_EXACT_FMA_H_
#define MIRL_ANALYSIS_EXACT_FMA_H_

#if defined(__FMA__) || defined(__ARM_FEATURE_FMA)
#define MIRL_TARGET_HAS_FMA 1
#else
#define MIRL_TARGET_HAS_FMA 0
#endif

namespace mirl {
namespace analysis {

double ExactFmaInteger(double a, double b, double c);

inline double ExactFma(double a, double b, double c) {
#if MIRL_TARGET_HAS_FMA
  return __builtin_fma(a, b, c);
#else
  return ExactFmaInteger(a, b, c);
#endif
}

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_EXACT_FMA_H_
