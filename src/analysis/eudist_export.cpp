#include "analysis/eudist.h"

#include "analysis/matrix_view.h"
#include "analysis/stack_view.h"
#include "analysis/vector_view.h"
#include "exports/analysis_stats_api.h"
#include "session/export_frame.h"
#include "logging/log.h"

namespace {

const char* const kName = "eudist";

template <typename T>
int EudistCall(int layers, int nrows, int ncols, T missing, T* reference, T* stack, double* result,
               int skip_missing) {
  using namespace mirl;
  using namespace mirl::analysis;
  return run_guarded(
      [&]() -> int {
        log_entering(kName);
        if (layers <= 0) return log_returned(kName, -101);
        if (nrows <= 0) return log_returned(kName, -102);
        if (ncols <= 0) return log_returned(kName, -103);
        if (reference == nullptr) return log_returned(kName, -104);
        if (stack == nullptr) return log_returned(kName, -105);
        if (result == nullptr) return log_returned(kName, -106);
        Eudist(CVectorView<T>(reference, missing, layers),
               CStackView<T>(stack, missing, layers, nrows, ncols),
               CMatrixViewDbl(result, -1.0, nrows, ncols), skip_missing != 0);
        return 1;
      },
      -100);
}

}  // namespace

MIRL_API int eudist_int(int layers, int nrows, int ncols, int missing, int* reference, int* stack,
                        double* result, int skip_missing) {
  return EudistCall<int>(layers, nrows, ncols, missing, reference, stack, result, skip_missing);
}

MIRL_API int eudist_dbl(int layers, int nrows, int ncols, double missing, double* reference,
                        double* stack, double* result, int skip_missing) {
  return EudistCall<double>(layers, nrows, ncols, missing, reference, stack, result, skip_missing);
}
