// a * b + c rounded once, to nearest with ties to even, in integer
// arithmetic: the same bits on every processor and C library. (Some C
// libraries compute std::fma in extended precision, rounding twice, where
// the processor has no fused multiply-add; the library's own exponential
// must not depend on that.)
//
// Exact for finite arguments whose product and result are normal doubles or
// zero; subnormal or infinite results are outside its contract (the
// exponential never produces them on its domain).
//
// Thread safety: a pure function.
#ifndef MIRL_ANALYSIS_EXACT_FMA_H_
#define MIRL_ANALYSIS_EXACT_FMA_H_

namespace mirl {
namespace analysis {

double ExactFma(double a, double b, double c);

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_EXACT_FMA_H_
