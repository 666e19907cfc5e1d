#include "analysis/wetspread.h"

#include "analysis/matrix_view.h"
#include "exports/analysis_grid_api.h"
#include "session/export_frame.h"
#include "logging/log.h"

namespace {
const char* const kName = "wetspread";
constexpr double kCostMissing = -1.0;
constexpr int32_t kDirectionMissing = -1;
constexpr double kWetnessMissing = -1.0;
}  // namespace

MIRL_API int wetspread(double source_value, int source_row, int source_col, int nrows, int ncols,
                       const double* cost, const int* direction, double* wetness) {
  using namespace mirl;
  using namespace mirl::analysis;
  return run_guarded(
      [&]() -> int {
        log_entering(kName);
        if (!(source_value > 0)) return log_returned(kName, -241);
        if (source_row < 1 || source_row > nrows) return log_returned(kName, -242);
        if (source_col < 1 || source_col > ncols) return log_returned(kName, -243);
        if (cost == nullptr) return log_returned(kName, -246);
        if (direction == nullptr) return log_returned(kName, -247);
        if (wetness == nullptr) return log_returned(kName, -248);
        CMatrixView<const double> cost_view(cost, kCostMissing, nrows, ncols, 1, 1);
        CMatrixView<const int32_t> direction_view(direction, kDirectionMissing, nrows, ncols, 1, 1);
        CMatrixViewDbl wetness_view(wetness, kWetnessMissing, nrows, ncols, 1, 1);
        if (direction_view(source_row, source_col) == 0) return 1;
        CWetSpreader spreader(cost_view, direction_view, wetness_view);
        if (spreader.Run(source_row, source_col, source_value) == CWetSpreader::Outcome::kDone)
          return 1;
        // A walk that cannot end is bad input found on the way, so it is
        // logged like the argument failures.
        return log_returned(kName, -249);
      },
      -240);
}
