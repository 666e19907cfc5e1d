#include <cmath>
#include <limits>
#include <queue>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/spread_buffer.h"
#include "exports/analysis_api.h"
#include "support/loaded_library.h"

namespace {

// Straightforward Dijkstra with the same stepping rule, written independently:
// remaining value falls by factor x resistance of each entered cell, barriers
// (negative) are never entered, non-positive remaining values stop a path.
std::vector<double> ReferenceSpread(double source, int r0, int c0, int rows, int cols,
                                    const std::vector<double>& surface, bool diagonal) {
  std::vector<double> best(surface.size(), 0.0);
  using Item = std::pair<double, int>;
  std::priority_queue<Item> queue;
  best[r0 * cols + c0] = source;
  queue.push({source, r0 * cols + c0});
  const int dr[8] = {-1, 1, 0, 0, -1, -1, 1, 1};
  const int dc[8] = {0, 0, 1, -1, 1, -1, 1, -1};
  while (!queue.empty()) {
    auto [v, idx] = queue.top();
    queue.pop();
    if (v < best[idx]) continue;
    const int r = idx / cols, c = idx % cols;
    for (int k = 0; k < 8; ++k) {
      const int nr = r + dr[k], nc = c + dc[k];
      if (nr < 0 || nc < 0 || nr >= rows || nc >= cols) continue;
      const double s = surface[nr * cols + nc];
      if (s < 0) continue;
      const double t = v - ((k >= 4 && diagonal) ? 1.4 : 1.0) * s;
      if (t > 0 && t > best[nr * cols + nc]) {
        best[nr * cols + nc] = t;
        queue.push({t, nr * cols + nc});
      }
    }
  }
  return best;
}

int CountNonZero(const std::vector<double>& v) {
  int n = 0;
  for (double x : v) n += x != 0;
  return n;
}

class SpreadTest : public ::testing::Test {
 protected:
  void TearDown() override { mirl::analysis::ReleaseSpreadBuffer(); }
};

TEST_F(SpreadTest, ArgumentCodesInOrderLeaveSurfaceUntouched) {
  std::vector<double> s(6, 2.0);
  EXPECT_EQ(spread(0.0, 1, 1, 2, 3, s.data(), 0), -501);
  EXPECT_EQ(spread(-1.0, 1, 1, 2, 3, s.data(), 0), -501);
  EXPECT_EQ(spread(std::nan(""), 1, 1, 2, 3, s.data(), 0), -501);
  EXPECT_EQ(spread(5.0, 0, 1, 2, 3, s.data(), 0), -502);
  EXPECT_EQ(spread(5.0, 3, 1, 2, 3, s.data(), 0), -502);
  EXPECT_EQ(spread(5.0, 1, 1, 0, 3, s.data(), 0), -502);
  EXPECT_EQ(spread(5.0, 1, 0, 2, 3, s.data(), 0), -503);
  EXPECT_EQ(spread(5.0, 1, 4, 2, 3, s.data(), 0), -503);
  EXPECT_EQ(spread(5.0, 1, 1, 2, 3, nullptr, 0), -506);
  // The value check comes first even when everything else is wrong too.
  EXPECT_EQ(spread(0.0, 0, 0, 0, 0, nullptr, 0), -501);
  for (double v : s) EXPECT_EQ(v, 2.0);
}

TEST_F(SpreadTest, ZeroSurfaceReachesEveryCellWithSourceValue) {
  std::vector<double> s(5 * 7, 0.0);
  EXPECT_EQ(spread(3.5, 2, 4, 5, 7, s.data(), 1), 35);
  for (double v : s) EXPECT_EQ(v, 3.5);
}

TEST_F(SpreadTest, SourceWalledInByBarriersReachesOnlyItself) {
  std::vector<double> s(9, -1.0);
  s[4] = 7.0;  // the source's own resistance is never charged
  EXPECT_EQ(spread(10.0, 2, 2, 3, 3, s.data(), 0), 1);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(s[i], i == 4 ? 10.0 : 0.0);
}

TEST_F(SpreadTest, ChebyshevRingsWithoutAndWithDiagonalWeighting) {
  std::vector<double> s(7 * 7, 1.0);
  EXPECT_EQ(spread(10.0, 4, 4, 7, 7, s.data(), 0), 49);
  EXPECT_DOUBLE_EQ(s[3 * 7 + 3], 10.0);
  EXPECT_DOUBLE_EQ(s[2 * 7 + 2], 9.0);  // one diagonal step costs 1
  EXPECT_DOUBLE_EQ(s[0 * 7 + 0], 7.0);
  EXPECT_DOUBLE_EQ(s[0 * 7 + 3], 7.0);

  std::vector<double> w(7 * 7, 1.0);
  spread(10.0, 4, 4, 7, 7, w.data(), 1);
  EXPECT_NEAR(w[2 * 7 + 2], 8.6, 1e-12);  // one diagonal step costs 1.4
  EXPECT_NEAR(w[0 * 7 + 0], 10.0 - 3 * 1.4, 1e-12);
  EXPECT_NEAR(w[1 * 7 + 2], 10.0 - 1.4 - 1.0, 1e-12);  // diagonal then straight
}

TEST_F(SpreadTest, StepLeavingExactlyZeroIsNotTaken) {
  std::vector<double> s(1 * 9, 1.0);
  EXPECT_EQ(spread(3.0, 1, 5, 1, 9, s.data(), 0), 5);
  EXPECT_EQ(s[4], 3.0);
  EXPECT_EQ(s[2], 1.0);
  EXPECT_EQ(s[1], 0.0);  // three steps away: 3 - 3 = 0 stays unreached
  EXPECT_EQ(s[7], 0.0);
}

TEST_F(SpreadTest, NaNResistanceIsNeverEntered) {
  std::vector<double> s = {0, std::nan(""), 0};
  EXPECT_EQ(spread(5.0, 1, 1, 1, 3, s.data(), 0), 1);
  EXPECT_EQ(s[1], 0.0);
  EXPECT_EQ(s[2], 0.0);
}

TEST_F(SpreadTest, MatchesReferenceDijkstraOnRandomSurfacesWithBarriers) {
  std::mt19937 rng(12345);
  // Resistances from 0 take the radix heap; from 0.5 up, the bucket queue,
  // whose ring of some thirty buckets is lapped many times.
  for (int trial = 0; trial < 24; ++trial) {
    const int rows = 20 + trial % 12 * 7, cols = 31 + trial % 12 * 3;
    std::uniform_real_distribution<double> res(trial < 12 ? 0.0 : 0.5, 5.0);
    std::bernoulli_distribution barrier(0.15);
    std::vector<double> surface(rows * cols);
    for (double& v : surface) v = barrier(rng) ? -1.0 : res(rng);
    const int r0 = rows / 3, c0 = cols / 2;
    const bool diagonal = trial % 2 == 0;
    const double source = 40.0 + trial * 10;
    const auto expected = ReferenceSpread(source, r0, c0, rows, cols, surface, diagonal);
    std::vector<double> got = surface;
    const int reached = spread(source, r0 + 1, c0 + 1, rows, cols, got.data(), diagonal);
    ASSERT_EQ(reached, CountNonZero(got));
    for (size_t i = 0; i < got.size(); ++i) {
      // Improvements of 0.0001 or less are ignored, so a cell may lag the
      // true best value by at most that much per cell along its path.
      ASSERT_NEAR(got[i], expected[i], 0.0001 * (rows + cols)) << "trial " << trial << " cell " << i;
      ASSERT_EQ(got[i] == 0, expected[i] == 0) << "trial " << trial << " cell " << i;
    }
  }
}

TEST_F(SpreadTest, IntegerResistancesGiveExactlyTheReferenceValues) {
  // Without diagonal weighting every remaining value is an integer, held
  // exactly, and every improvement is at least 1: whatever queue the spread
  // takes, each cell must hold the reference's value to the bit. From 1 up
  // the bucket queue serves; with free cells (0) among them, the radix heap.
  std::mt19937 rng(99);
  for (int lowest : {1, 0}) {
    const int rows = 61, cols = 47;
    std::uniform_int_distribution<int> res(lowest, 9);
    std::vector<double> surface(rows * cols);
    for (double& v : surface) v = res(rng);
    for (int c = 5; c < cols; ++c) surface[20 * cols + c] = -1;  // a wall with a gap
    const auto expected = ReferenceSpread(150.0, 40, 23, rows, cols, surface, false);
    std::vector<double> got = surface;
    const int reached = spread(150.0, 41, 24, rows, cols, got.data(), 0);
    ASSERT_EQ(reached, CountNonZero(expected)) << "lowest " << lowest;
    for (size_t i = 0; i < got.size(); ++i)
      ASSERT_EQ(got[i], expected[i]) << "lowest " << lowest << " cell " << i;
  }
}

TEST_F(SpreadTest, BufferIsReusedForEqualSizeAndRenewedAfterCleanUp) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> res(0.0, 3.0);
  std::vector<double> surface(40 * 50);
  for (double& v : surface) v = res(rng);
  std::vector<double> first = surface, second = surface;
  const int n1 = spread(60.0, 20, 25, 40, 50, first.data(), 1);
  const double* buffer = mirl::analysis::SpreadBufferData();
  const int n2 = spread(60.0, 20, 25, 40, 50, second.data(), 1);
  EXPECT_EQ(buffer, mirl::analysis::SpreadBufferData());
  EXPECT_EQ(n1, n2);
  EXPECT_EQ(first, second);

  mirl::analysis::ReleaseSpreadBuffer();
  EXPECT_EQ(mirl::analysis::SpreadBufferRows(), -1);
  EXPECT_EQ(mirl::analysis::SpreadBufferCols(), -1);
  std::vector<double> other(30 * 20, 0.5);
  const auto expected = ReferenceSpread(9.0, 0, 0, 30, 20, other, false);
  EXPECT_EQ(spread(9.0, 1, 1, 30, 20, other.data(), 0), CountNonZero(expected));
  EXPECT_EQ(mirl::analysis::SpreadBufferRows(), 30);
  for (size_t i = 0; i < other.size(); ++i) ASSERT_NEAR(other[i], expected[i], 1e-9);
}

TEST_F(SpreadTest, RTwinStoresTheCodeItReturns) {
  mirl_test::LoadedLibrary lib;
  auto R_spread = lib.find<int (*)(int*, double*, int*, int*, int*, int*, double*, int*)>("R_spread");
  ASSERT_NE(R_spread, nullptr);
  std::vector<double> s(4, 0.0);
  int result = 0;
  double value = 2.0;
  int row = 1, col = 1, nrows = 2, ncols = 2, diag = 0;
  EXPECT_EQ(R_spread(&result, &value, &row, &col, &nrows, &ncols, s.data(), &diag), 4);
  EXPECT_EQ(result, 4);
  row = 5;
  EXPECT_EQ(R_spread(&result, &value, &row, &col, &nrows, &ncols, s.data(), &diag), -502);
  EXPECT_EQ(result, -502);
}

}  // namespace

namespace {

// 2 x 2, source at the top left: the bottom-right cell is reached first
// diagonally (10 - 1.4 x 1) and later, through the top-right cell of
// resistance detour, orthogonally (10 - detour - 1). The bottom-left cell is
// a barrier, so there is no third route.
double SecondRouteResult(double detour) {
  std::vector<double> s = {0.0, detour, -1.0, 1.0};
  EXPECT_EQ(spread(10.0, 1, 1, 2, 2, s.data(), 1), 3);
  return s[3];
}

TEST_F(SpreadTest, ASecondRouteCountsOnlyWhenItImprovesByMoreThanATenThousandth) {
  // Better by about 0.0005: taken.
  EXPECT_EQ(SecondRouteResult(0.3995), (10.0 - 0.3995) - 1.0 * 1.0);
  // Better by about 0.00005: ignored, the diagonal value stays.
  EXPECT_EQ(SecondRouteResult(0.39995), 10.0 - 1.4 * 1.0);
}

}  // namespace
