// Connectivity rescaling: values are turned into standard normal densities
// of offset - value / divisor over the cells a mask admits, and normalised
// by the summed weight of those cells.
//
// Every view is over the caller's arrays (first index 0, all of one shape);
// nothing is kept after a call. Thread safety: none needed beyond the
// caller's arrays, but the density step writes to the session log.
#ifndef MIRL_ANALYSIS_CONNECT_RESCALE_H_
#define MIRL_ANALYSIS_CONNECT_RESCALE_H_

#include <cstdint>

#include "analysis/matrix_view.h"

namespace mirl {
namespace analysis {

// The mask's missing value: the double missing value truncated toward zero.
// A NaN or a value beyond the int32 range has no integer counterpart, so no
// mask cell equals it and every cell is admitted.
class CMaskMissing {
 public:
  explicit CMaskMissing(double missing);
  bool admits(int32_t mask_value) const { return !m_Exists || mask_value != m_Value; }
  bool exists() const { return m_Exists; }
  int32_t value() const { return m_Value; }

 private:
  bool m_Exists;
  int32_t m_Value;
};

struct ConnectRescaleArgs {
  double divisor;
  double offset;
  CMatrixViewDbl values;   // rescaled, then densities, in place
  CMatrixViewDbl weights;  // read only
  CMatrixViewInt mask;     // read only
};

// Rescales the values and runs the density step (as the zdensity export,
// with its log line). Stores the total weight W of the admitted cells and
// returns the density step's code (1 on success).
int RescaleToDensities(const ConnectRescaleArgs& args, double* total_weight);

// result = values / W over valid cells, 0 over missing cells; all 0 when W
// is 0.
void NormaliseToMatrix(const CMatrixViewDbl& values, double total_weight,
                       const CMatrixViewDbl& result);

// Sum of the valid values / W (infinite or NaN when W is 0).
double NormaliseToScalar(const CMatrixViewDbl& values, double total_weight);

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_CONNECT_RESCALE_H_
