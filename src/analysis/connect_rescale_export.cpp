#include "analysis/connect_rescale.h"

#include "analysis/matrix_view.h"
#include "exports/analysis_stats_api.h"
#include "session/export_frame.h"
#include "logging/log.h"

namespace {

using mirl::analysis::CMaskMissing;
using mirl::analysis::CMatrixViewDbl;
using mirl::analysis::CMatrixViewInt;
using mirl::analysis::ConnectRescaleArgs;

// The two exports differ only in their name, their band and what they make
// of the densities.
struct Variant {
  const char* name;
  int band;  // the band's round code: -320 matrix, -300 scalar
};

// The code of the first failed argument check, or 0 when all pass.
int FirstBadArgument(const Variant& v, double divisor, int nrows, int ncols, const double* values,
                     const double* weights, const int* mask, const double* result) {
  if (nrows <= 0) return v.band - 1;
  if (ncols <= 0) return v.band - 2;
  if (divisor == 0.0) return v.band - 3;
  if (values == nullptr) return v.band - 4;
  if (weights == nullptr) return v.band - 5;
  if (mask == nullptr) return v.band - 6;
  if (result == nullptr) return v.band - 7;
  return 0;
}

ConnectRescaleArgs MakeArgs(double divisor, double offset, int nrows, int ncols, double missing,
                            double* values, double* weights, int* mask) {
  const CMaskMissing mask_missing(missing);
  return {divisor, offset, CMatrixViewDbl(values, missing, nrows, ncols),
          CMatrixViewDbl(weights, missing, nrows, ncols),
          CMatrixViewInt(mask, mask_missing.value(), nrows, ncols)};
}

}  // namespace

MIRL_API int connect_rescale_matrix(double divisor, double offset, int nrows, int ncols,
                                    double missing, double* values, double* weights, int* mask,
                                    double* result) {
  using namespace mirl;
  using namespace mirl::analysis;
  const Variant v{"connect_rescale_matrix", -320};
  return run_guarded(
      [&]() -> int {
        log_entering(v.name);
        if (const int bad =
                FirstBadArgument(v, divisor, nrows, ncols, values, weights, mask, result))
          return log_returned(v.name, bad);
        const ConnectRescaleArgs args =
            MakeArgs(divisor, offset, nrows, ncols, missing, values, weights, mask);
        double total_weight = 0.0;
        const int density_code = RescaleToDensities(args, &total_weight);
        if (density_code != 1) return density_code;
        NormaliseToMatrix(args.values, total_weight, CMatrixViewDbl(result, missing, nrows, ncols));
        return 1;
      },
      v.band);
}

MIRL_API int connect_rescale_scalar(double divisor, double offset, int nrows, int ncols,
                                    double missing, double* values, double* weights, int* mask,
                                    double* result) {
  using namespace mirl;
  using namespace mirl::analysis;
  const Variant v{"connect_rescale_scalar", -300};
  return run_guarded(
      [&]() -> int {
        log_entering(v.name);
        if (const int bad =
                FirstBadArgument(v, divisor, nrows, ncols, values, weights, mask, result))
          return log_returned(v.name, bad);
        const ConnectRescaleArgs args =
            MakeArgs(divisor, offset, nrows, ncols, missing, values, weights, mask);
        double total_weight = 0.0;
        const int density_code = RescaleToDensities(args, &total_weight);
        if (density_code != 1) return density_code;
        *result = NormaliseToScalar(args.values, total_weight);
        return 1;
      },
      v.band);
}
