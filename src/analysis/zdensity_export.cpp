#include "analysis/zdensity.h"

#include "analysis/vector_view.h"
#include "analysis/zdensity_call.h"
#include "exports/analysis_stats_api.h"
#include "session/export_frame.h"
#include "logging/log.h"

namespace mirl {
namespace analysis {

int ZDensityCall(double mean, double sd, int64_t count, double* data, double missing) {
  static const char* const kName = "zdensity";
  return run_guarded(
      [&]() -> int {
        log_entering(kName);
        if (count <= 0) return log_returned(kName, -401);
        if (data == nullptr) return log_returned(kName, -402);
        ZDensityTransform(CVectorView<double>(data, missing, count), mean, sd);
        return 1;
      },
      -400);
}

}  // namespace analysis
}  // namespace mirl

MIRL_API int zdensity(double mean, double sd, int count, double* data, double missing) {
  return mirl::analysis::ZDensityCall(mean, sd, count, data, missing);
}
