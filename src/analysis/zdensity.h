// The normal density transform: every valid element v of a vector becomes
// exp(-(v - mean)^2 / (2 sd^2)) / (sqrt(2 * 3.1415) * sd), in place. The
// constant is 3.1415 on purpose (the results hosts have always had), not pi.
// Elements equal to the vector's missing value keep their value; a NaN is
// valid (and stays NaN). sd is used as given: 0 gives infinities or NaN, a
// negative sd negative densities.
//
// Thread safety: works only on the caller's array; calls on distinct arrays
// may run concurrently.
#ifndef MIRL_ANALYSIS_ZDENSITY_H_
#define MIRL_ANALYSIS_ZDENSITY_H_

#include <cstdint>

#include "analysis/vector_view.h"

namespace mirl {
namespace analysis {

// The per-call constants: s2 = sd * sd * 2 and k = sqrt(2 * 3.1415) * sd.
struct ZDensityConstants {
  double mean;
  double s2;
  double k;
};
ZDensityConstants MakeZDensityConstants(double mean, double sd);

// Transforms every element of the view; picks the vector kernel when the
// processor has one. The result of each element is within 3 ulp of the
// formula evaluated with std::exp, and the same bits on every processor:
// both kernels use the library's own exponential (analysis/vector_exp.h),
// never the C library's, whose last bit differs between builds.
void ZDensityTransform(const CVectorView<double>& data, double mean, double sd);

// The kernels over data[0 .. count-1], for tests and benchmarks, equal bit
// for bit: ZDensityScalar one element at a time on any processor;
// ZDensityAvx2 (only where CpuHasAvx2Fma()) four at a time; ZDensityAvx512
// (only where CpuHasAvx512()) eight at a time. The vector kernels exist in
// x86 builds only (MIRL_X86_KERNELS).
void ZDensityScalar(double* data, int64_t count, double missing, const ZDensityConstants& c);
void ZDensityAvx2(double* data, int64_t count, double missing, const ZDensityConstants& c);
void ZDensityAvx512(double* data, int64_t count, double missing, const ZDensityConstants& c);

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_ZDENSITY_H_
