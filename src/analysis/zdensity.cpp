#include "analysis/zdensity.h"

#include <cmath>

#include "analysis/cpu_features.h"
#include "analysis/vector_exp.h"

namespace mirl {
namespace analysis {

namespace {
constexpr double kHostPi = 3.1415;
}  // namespace

ZDensityConstants MakeZDensityConstants(double mean, double sd) {
  return {mean, sd * sd * 2.0, std::sqrt(2.0 * kHostPi) * sd};
}

void ZDensityScalar(double* data, int64_t count, double missing, const ZDensityConstants& c) {
  for (int64_t i = 0; i < count; ++i) {
    const double v = data[i];
    if (v == missing) continue;
    const double d = v - c.mean;
    const double x = -(d * d) / c.s2;
    data[i] = (ExpInDomain(x) ? ExpScalar(x) : std::exp(x)) / c.k;
  }
}

void ZDensityTransform(const CVectorView<double>& data, double mean, double sd) {
  const ZDensityConstants c = MakeZDensityConstants(mean, sd);
  double* first = &data(data.first());
#if MIRL_X86_KERNELS
  if (CpuHasAvx512()) {
    ZDensityAvx512(first, data.count(), data.missing(), c);
  } else if (CpuHasAvx2Fma()) {
    ZDensityAvx2(first, data.count(), data.missing(), c);
  } else
#endif
  {
    ZDensityScalar(first, data.count(), data.missing(), c);
  }
}

}  // namespace analysis
}  // namespace mirl
