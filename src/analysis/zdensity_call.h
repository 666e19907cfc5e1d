// The whole call of the zdensity export (entry line, argument checks, the
// transform, exception mapping) for a count of any size, so that other
// exports can run their density step exactly as a host call of zdensity
// would, including its log line, over arrays larger than an int32 count.
#ifndef MIRL_ANALYSIS_ZDENSITY_CALL_H_
#define MIRL_ANALYSIS_ZDENSITY_CALL_H_

#include <cstdint>

namespace mirl {
namespace analysis {

// Codes: 1 success, -401 count <= 0, -402 data null, -400 an exception.
int ZDensityCall(double mean, double sd, int64_t count, double* data, double missing);

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_ZDENSITY_CALL_H_
