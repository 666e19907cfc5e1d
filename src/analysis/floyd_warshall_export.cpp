#include "analysis/floyd_warshall.h"

#include "analysis/matrix_view.h"
#include "exports/analysis_stats_api.h"
#include "session/export_frame.h"
#include "logging/log.h"

MIRL_API int floyd_warshall(int n, double* matrix, int mode) {
  using namespace mirl;
  using namespace mirl::analysis;
  static const char* const kName = "floyd_warshall";
  return run_guarded(
      [&]() -> int {
        log_entering(kName);
        if (n < 2) return log_returned(kName, -841);
        if (matrix == nullptr) return log_returned(kName, -842);
        if (mode != 0 && mode != 1) return log_returned(kName, -843);
        const CMatrixViewDbl m(matrix, -1.0, n, n);
        const PathMode path_mode = static_cast<PathMode>(mode);
        if (path_mode == PathMode::kLargestProduct && !ProbabilitiesInRange(m)) return -844;
        FloydWarshall(m, path_mode);
        return 1;
      },
      -840);
}
