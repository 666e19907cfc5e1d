// Cache-blocked closure. The passes are taken in blocks K = [k0, k1). When
// no pass k changes row k or column k, the value M(i,j) gets in pass k
// depends only on M(i,j) itself, M(i,k) and M(k,j) as they stood before
// pass k. So, per block:
//   1. rows in K: first the columns in K, the passes of K in order, keeping
//      a snapshot of M(r,k) as pass k reads it; then the other columns, a
//      few at a time, the passes in order from that snapshot, keeping a
//      snapshot of row k as pass k reads it;
//   2. every other row, columns in K: the passes of K in order, keeping a
//      snapshot of M(i,k) as pass k reads it;
//   3. every other row and column: all passes of K from the two snapshots,
//      a register tile of M at a time. Here i = j is computed like any
//      other cell and put back afterwards; nothing else reads it meanwhile.
// Each cell thus sees exactly the updates, operands and order of the
// triple loop. The tiles are AVX2 code: x86 builds only; elsewhere every
// closure takes the plain road.
#include "analysis/cpu_features.h"

#if MIRL_X86_KERNELS
#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "analysis/floyd_warshall.h"
#include "analysis/floyd_warshall_ops.h"

namespace mirl {
namespace analysis {

namespace {

// Register tile: kRows rows x kVecs four-lane vectors of M stay in
// registers through all passes of a block.
constexpr int kRows = 3;
constexpr int kVecs = 4;
constexpr int kTileCols = 4 * kVecs;
// Rows per step-3 sweep: their snapshot of column k (kRowBlock x block
// doubles) stays in the second level cache.
constexpr int64_t kRowBlock = 256;
// Columns per strip of step 1: a block of rows of them stays in the first
// level cache through all passes.
constexpr int64_t kStripCols = 16;

// The indices outside the block K: at most two stretches.
struct Span {
  int64_t begin;
  int64_t end;
};

int OutsideSpans(int64_t k0, int64_t k1, int64_t n, Span out[2]) {
  int count = 0;
  if (k0 > 0) out[count++] = {0, k0};
  if (k1 < n) out[count++] = {k1, n};
  return count;
}

// A group of columns of step 3 whose snapshot rows are packed side by side.
struct ColumnGroup {
  int64_t first_col;
  int width;       // kTileCols or 4
  int64_t packed;  // offset of its [pass][width] block in the packed buffer
};

template <class Op, int R, int V>
MIRL_TARGET_AVX2 void Tile(double* m, int64_t n, const double* col_snap, int64_t kb,
                           const double* packed) {
  __m256d acc[R][V];
#pragma GCC unroll 4
  for (int r = 0; r < R; ++r)
#pragma GCC unroll 4
    for (int v = 0; v < V; ++v) acc[r][v] = _mm256_loadu_pd(m + r * n + 4 * v);
  for (int64_t kk = 0; kk < kb; ++kk) {
    __m256d b[V];
#pragma GCC unroll 4
    for (int v = 0; v < V; ++v) b[v] = _mm256_loadu_pd(packed + kk * 4 * V + 4 * v);
#pragma GCC unroll 4
    for (int r = 0; r < R; ++r) {
      const __m256d a = _mm256_broadcast_sd(col_snap + r * kb + kk);
#pragma GCC unroll 4
      for (int v = 0; v < V; ++v) acc[r][v] = Op::Apply(acc[r][v], a, b[v]);
    }
  }
#pragma GCC unroll 4
  for (int r = 0; r < R; ++r)
#pragma GCC unroll 4
    for (int v = 0; v < V; ++v) _mm256_storeu_pd(m + r * n + 4 * v, acc[r][v]);
}

template <class Op, int V>
MIRL_TARGET_AVX2 void Rows(double* m, int64_t n, int64_t i0, int64_t i1, const double* col_snap,
                           int64_t kb, const ColumnGroup& g, const double* packed) {
  int64_t i = i0;
  for (; i + kRows <= i1; i += kRows)
    Tile<Op, kRows, V>(m + i * n + g.first_col, n, col_snap + i * kb, kb, packed + g.packed);
  for (; i < i1; ++i)
    Tile<Op, 1, V>(m + i * n + g.first_col, n, col_snap + i * kb, kb, packed + g.packed);
}

// Every buffer of a run, allocated before the matrix is touched so that an
// allocation failure leaves the caller's matrix as it was.
struct Scratch {
  Scratch(int64_t n, int64_t block)
      : diagonal(n),
        row_snap(block * n),
        col_snap(n * block),
        diag_snap(block * block),
        packed(block * n) {
    // At most n / 4 groups and three loose columns on each side of K.
    groups.reserve(n / 4 + 2);
    loose_cols.reserve(6);
  }
  std::vector<double> diagonal;   // as the run found it
  std::vector<double> row_snap;   // [pass][column]
  std::vector<double> col_snap;   // [row][pass]
  std::vector<double> diag_snap;  // [row in K][pass]
  std::vector<double> packed;     // row_snap's step-3 columns, group by group
  std::vector<ColumnGroup> groups;
  std::vector<int64_t> loose_cols;  // outside K, beyond the last full vector
};

template <class Op>
MIRL_TARGET_AVX2 void Blocked(double* m, int64_t n, int64_t block, Scratch& scratch) {
  std::vector<double>& diagonal = scratch.diagonal;
  std::vector<double>& row_snap = scratch.row_snap;
  std::vector<double>& col_snap = scratch.col_snap;
  std::vector<double>& diag_snap = scratch.diag_snap;
  std::vector<double>& packed = scratch.packed;
  std::vector<ColumnGroup>& groups = scratch.groups;
  std::vector<int64_t>& loose_cols = scratch.loose_cols;
  for (int64_t i = 0; i < n; ++i) diagonal[i] = m[i * n + i];

  for (int64_t k0 = 0; k0 < n; k0 += block) {
    const int64_t k1 = std::min(n, k0 + block), kb = k1 - k0;
    Span spans[2];
    const int nspans = OutsideSpans(k0, k1, n, spans);

    // 1. Rows of the block: the diagonal block pass by pass, then the other
    // columns in narrow strips that stay in the first level cache.
    for (int64_t kk = 0; kk < kb; ++kk) {
      const int64_t k = k0 + kk;
      double* snap = row_snap.data() + kk * n;
      std::copy(m + k * n + k0, m + k * n + k1, snap + k0);
      for (int64_t r = k0; r < k1; ++r) {
        const double a = m[r * n + k];
        diag_snap[(r - k0) * kb + kk] = a;
        if (r != k) fw::UpdateRowAvx2<Op>(m + r * n, a, snap, k0, k1, r);
      }
    }
    for (int s = 0; s < nspans; ++s)
      for (int64_t j = spans[s].begin; j < spans[s].end; j += kStripCols) {
        const int64_t je = std::min(spans[s].end, j + kStripCols);
        for (int64_t kk = 0; kk < kb; ++kk) {
          const int64_t k = k0 + kk;
          double* snap = row_snap.data() + kk * n;
          std::copy(m + k * n + j, m + k * n + je, snap + j);
          for (int64_t r = k0; r < k1; ++r)
            if (r != k)
              fw::UpdateRowAvx2<Op>(m + r * n, diag_snap[(r - k0) * kb + kk], snap, j, je, -1);
        }
      }

    // 2. Other rows, columns of the block.
    for (int s = 0; s < nspans; ++s) {
      for (int64_t i = spans[s].begin; i < spans[s].end; ++i) {
        double* row = m + i * n;
        double* csnap = col_snap.data() + i * kb;
        for (int64_t kk = 0; kk < kb; ++kk) {
          const double a = row[k0 + kk];
          csnap[kk] = a;
          fw::UpdateRowAvx2<Op>(row, a, row_snap.data() + kk * n, k0, k1, -1);
        }
      }
    }

    // 3. The rest, from the snapshots.
    groups.clear();
    loose_cols.clear();
    int64_t offset = 0;
    for (int s = 0; s < nspans; ++s) {
      int64_t j = spans[s].begin;
      for (; j + kTileCols <= spans[s].end; j += kTileCols, offset += kb * kTileCols)
        groups.push_back({j, kTileCols, offset});
      for (; j + 4 <= spans[s].end; j += 4, offset += kb * 4) groups.push_back({j, 4, offset});
      for (; j < spans[s].end; ++j) loose_cols.push_back(j);
    }
    for (const ColumnGroup& g : groups)
      for (int64_t kk = 0; kk < kb; ++kk)
        std::copy(row_snap.data() + kk * n + g.first_col,
                  row_snap.data() + kk * n + g.first_col + g.width,
                  packed.data() + g.packed + kk * g.width);

    for (int s = 0; s < nspans; ++s) {
      for (int64_t ib = spans[s].begin; ib < spans[s].end; ib += kRowBlock) {
        const int64_t ie = std::min(spans[s].end, ib + kRowBlock);
        for (const ColumnGroup& g : groups) {
          if (g.width == kTileCols) {
            Rows<Op, kVecs>(m, n, ib, ie, col_snap.data(), kb, g, packed.data());
          } else {
            Rows<Op, 1>(m, n, ib, ie, col_snap.data(), kb, g, packed.data());
          }
        }
        for (int64_t i = ib; i < ie; ++i) {
          double* row = m + i * n;
          const double* csnap = col_snap.data() + i * kb;
          for (int64_t j : loose_cols) {
            double v = row[j];
            for (int64_t kk = 0; kk < kb; ++kk) v = Op::Apply(v, csnap[kk], row_snap[kk * n + j]);
            row[j] = v;
          }
          row[i] = diagonal[i];
        }
      }
    }
  }
}

// The min-plus form of mode 1: 0 (no connection) as +infinity and back.
void ToMinPlus(double* m, int64_t n) {
  const double inf = std::numeric_limits<double>::infinity();
  for (int64_t i = 0; i < n * n; ++i)
    if (m[i] == 0.0) m[i] = inf;
}

void FromMinPlus(double* m, int64_t n, const std::vector<double>& diagonal) {
  const double inf = std::numeric_limits<double>::infinity();
  for (int64_t i = 0; i < n * n; ++i)
    if (m[i] == inf) m[i] = 0.0;
  for (int64_t i = 0; i < n; ++i) m[i * n + i] = diagonal[i];
}

}  // namespace

void FloydWarshallBlocked(double* m, int32_t n, PathRoad road, int32_t block) {
  if (road == PathRoad::kPlain) throw std::invalid_argument("the plain road is not blocked");
  Scratch scratch(n, block);
  switch (road) {
    case PathRoad::kBlockedLargestProduct:
      Blocked<fw::LargestProduct>(m, n, block, scratch);
      break;
    case PathRoad::kBlockedSmallestSum:
      Blocked<fw::SmallestSum>(m, n, block, scratch);
      break;
    case PathRoad::kBlockedMinPlus: {
      std::vector<double> original_diagonal(n);
      for (int64_t i = 0; i < n; ++i) original_diagonal[i] = m[i * int64_t{n} + i];
      ToMinPlus(m, n);
      Blocked<fw::MinPlus>(m, n, block, scratch);
      FromMinPlus(m, n, original_diagonal);
      break;
    }
    case PathRoad::kPlain:
      break;
  }
}

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_X86_KERNELS
