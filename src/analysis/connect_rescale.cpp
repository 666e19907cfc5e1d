#include "analysis/connect_rescale.h"

#include <cmath>
#include <limits>

#include "analysis/zdensity_call.h"

namespace mirl {
namespace analysis {

CMaskMissing::CMaskMissing(double missing) : m_Exists(false), m_Value(0) {
  const double t = std::trunc(missing);
  // The comparisons are false for NaN, which therefore has no counterpart.
  if (t >= std::numeric_limits<int32_t>::min() && t <= std::numeric_limits<int32_t>::max()) {
    m_Exists = true;
    m_Value = static_cast<int32_t>(t);
  }
}

int RescaleToDensities(const ConnectRescaleArgs& args, double* total_weight) {
  const CMatrixViewDbl& values = args.values;
  const double missing = values.missing();
  const CMaskMissing mask_missing(missing);
  const int64_t cells = values.size();
  double w = 0.0;
  for (int64_t i = 0; i < cells; ++i) {
    double& v = values.at_flat(i);
    if (mask_missing.admits(args.mask.at_flat(i))) {
      // A value of exactly 0 in an admitted cell is no data, yet its cell
      // still counts in the total weight.
      v = v == 0.0 ? missing : args.offset - v / args.divisor;
      w += args.weights.at_flat(i);
    } else {
      v = missing;
    }
  }
  *total_weight = w;
  return ZDensityCall(0.0, 1.0, cells, values.data(), missing);
}

void NormaliseToMatrix(const CMatrixViewDbl& values, double total_weight,
                       const CMatrixViewDbl& result) {
  result.copy_from(values);
  if (total_weight == 0.0) {
    result.fill(0.0);
    return;
  }
  const double missing = result.missing();
  const int64_t cells = result.size();
  for (int64_t i = 0; i < cells; ++i) {
    double& v = result.at_flat(i);
    v = v == missing ? 0.0 : v / total_weight;
  }
}

double NormaliseToScalar(const CMatrixViewDbl& values, double total_weight) {
  return values.sum() / total_weight;
}

}  // namespace analysis
}  // namespace mirl
