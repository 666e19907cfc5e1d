#include "analysis/conn_roamer.h"
#include "analysis/matrix_view.h"
#include "analysis/spread_buffer.h"
#include "exports/analysis_api.h"
#include "session/export_frame.h"
#include "logging/log.h"

namespace {
const char* const kName = "spread";
constexpr double kViewMissing = -1.0;
}  // namespace

MIRL_API int spread(double source_value, int source_row, int source_col, int nrows, int ncols,
                    double* surface, int diagonal) {
  using namespace mirl;
  using namespace mirl::analysis;
  return run_guarded(
      [&]() -> int {
        log_entering(kName);
        if (!(source_value > 0)) return log_returned(kName, -501);
        if (source_row < 1 || source_row > nrows) return log_returned(kName, -502);
        if (source_col < 1 || source_col > ncols) return log_returned(kName, -503);
        if (surface == nullptr) return log_returned(kName, -506);
        double* work = PrepareSpreadBuffer(nrows, ncols);
        CMatrixViewDbl surface_view(surface, kViewMissing, nrows, ncols);
        CMatrixViewDbl result_view(work, kViewMissing, nrows, ncols);
        {
          CConnRoamer roamer(result_view, surface_view, source_value, diagonal != 0);
          roamer.Run(source_row - 1, source_col - 1);
        }
        // The surface is overwritten only now, so the spread never read a
        // partly written result.
        return static_cast<int>(surface_view.copy_from(result_view));
      },
      -507, -500);
}
