#include "analysis/patch_scan.h"

#include <cstdint>

#include "analysis/matrix_view.h"
#include "exports/analysis_grid_api.h"
#include "session/export_frame.h"
#include "logging/log.h"

namespace {
const char* const kName = "patch_scan";
}  // namespace

MIRL_API int patch_scan(int* grid, int nrows, int ncols, int neighborhood, int missing,
                        int* count) {
  using namespace mirl;
  using namespace mirl::analysis;
  return run_guarded(
      [&]() -> int {
        log_entering(kName);
        if (grid == nullptr) return log_returned(kName, -221);
        if (nrows <= 0) return log_returned(kName, -222);
        if (ncols <= 0) return log_returned(kName, -223);
        if (neighborhood != 4 && neighborhood != 8) return log_returned(kName, -224);
        if (count == nullptr) return log_returned(kName, -225);
        if (static_cast<int64_t>(nrows) * ncols > CPatchScanner::kMaxCells)
          return log_returned(kName, -227);
        CMatrixViewInt view(grid, missing, nrows, ncols);
        CPatchScanner scanner(view, neighborhood);
        *count = scanner.Run();
        return 1;
      },
      -226, -220);
}
