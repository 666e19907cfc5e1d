// The triple loop in its own order. Along a row i of pass k, M(i,k) changes
// only at j = k and row k only while i = k (and there each element reads
// only itself), so the row splits into stretches with a fixed M(i,k) that
// can be updated four at a time without changing a single result.
#include "analysis/cpu_features.h"
#include "analysis/floyd_warshall.h"
#include "analysis/floyd_warshall_ops.h"

namespace mirl {
namespace analysis {

namespace {

struct ScalarRows {
  template <class Op>
  static void Update(double* out, double a, const double* b, int64_t j0, int64_t j1, int64_t skip) {
    fw::UpdateRowScalar<Op>(out, a, b, j0, j1, skip);
  }
};

#if MIRL_X86_KERNELS
struct Avx2Rows {
  template <class Op>
  MIRL_TARGET_AVX2 static void Update(double* out, double a, const double* b, int64_t j0,
                                      int64_t j1, int64_t skip) {
    fw::UpdateRowAvx2<Op>(out, a, b, j0, j1, skip);
  }
};
#endif

template <class Op, class Rows>
void Plain(double* m, int64_t n) {
  for (int64_t k = 0; k < n; ++k) {
    double* row_k = m + k * n;
    for (int64_t i = 0; i < n; ++i) {
      double* row_i = m + i * n;
      if (i == k) {
        Rows::template Update<Op>(row_k, row_k[k], row_k, 0, n, k);
        continue;
      }
      const double before = row_i[k];
      Rows::template Update<Op>(row_i, before, row_k, 0, k, i);
      row_i[k] = Op::Apply(row_i[k], before, row_k[k]);
      Rows::template Update<Op>(row_i, row_i[k], row_k, k + 1, n, i);
    }
  }
}

template <class Op>
void PlainFor(double* m, int64_t n, bool allow_vector) {
#if MIRL_X86_KERNELS
  if (allow_vector && CpuHasAvx2()) {
    Plain<Op, Avx2Rows>(m, n);
  } else
#else
  (void)allow_vector;
#endif
  {
    Plain<Op, ScalarRows>(m, n);
  }
}

}  // namespace

void FloydWarshallPlain(double* m, int32_t n, PathMode mode, bool allow_vector) {
  if (mode == PathMode::kLargestProduct) {
    PlainFor<fw::LargestProduct>(m, n, allow_vector);
  } else {
    PlainFor<fw::SmallestSum>(m, n, allow_vector);
  }
}

}  // namespace analysis
}  // namespace mirl
