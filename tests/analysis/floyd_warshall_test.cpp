#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <queue>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/cpu_features.h"
#include "analysis/floyd_warshall.h"
#include "exports/analysis_stats_api.h"
#include "session/session_record.h"
#include "support/loaded_library.h"
#include "support/temp_dir.h"

namespace {

using mirl::analysis::PathMode;
using mirl::analysis::PathRoad;
using Matrix = std::vector<double>;

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The triple loop read straight off the rule, one element at a time.
void OracleClosure(Matrix& m, int n, int mode) {
  for (int k = 0; k < n; ++k)
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        if (i == j) continue;
        const double a = m[i * n + k], b = m[k * n + j];
        double& c = m[i * n + j];
        if (mode == 0) {
          const double p = a * b;
          if (p != 0 && p > c) c = p;
        } else if (a * b != 0 && (a + b < c || c == 0)) {
          c = a + b;
        }
      }
}

uint64_t Bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// Bit patterns, so that -0 against +0 and NaN against NaN count too.
::testing::AssertionResult SameBits(const Matrix& got, const Matrix& want) {
  if (got.size() != want.size()) return ::testing::AssertionFailure() << "size differs";
  for (size_t i = 0; i < got.size(); ++i)
    if (Bits(got[i]) != Bits(want[i]))
      return ::testing::AssertionFailure()
             << "element " << i << ": got " << got[i] << ", want " << want[i];
  return ::testing::AssertionSuccess();
}

// A random matrix: each off-diagonal cell a connection with probability
// density, else 0; connections drawn by draw(rng).
template <class Draw>
Matrix RandomMatrix(int n, double density, std::mt19937& rng, Draw draw, double diagonal = 0) {
  std::bernoulli_distribution linked(density);
  Matrix m(static_cast<size_t>(n) * n, 0.0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) m[i * n + j] = i == j ? diagonal : (linked(rng) ? draw(rng) : 0.0);
  return m;
}

Matrix Closed(Matrix m, int n, int mode) {
  OracleClosure(m, n, mode);
  return m;
}

int Export(Matrix& m, int n, int mode) { return floyd_warshall(n, m.data(), mode); }

TEST(FloydWarshallCodes, ArgumentChecksInOrder) {
  Matrix m = {0, 1, 1, 0};
  const Matrix before = m;
  EXPECT_EQ(floyd_warshall(1, m.data(), 0), -841);
  EXPECT_EQ(floyd_warshall(0, nullptr, 7), -841);  // n is checked first
  EXPECT_EQ(floyd_warshall(-5, m.data(), 1), -841);
  EXPECT_EQ(floyd_warshall(2, nullptr, 2), -842);
  EXPECT_EQ(floyd_warshall(2, m.data(), 2), -843);
  EXPECT_EQ(floyd_warshall(2, m.data(), -1), -843);
  EXPECT_TRUE(SameBits(m, before));
}

TEST(FloydWarshallCodes, OutOfRangeProbabilityLeavesMatrixUnchanged) {
  for (double bad : {1.5, -0.1, 1.0000000000000002, -kInf, kInf}) {
    Matrix m = {1, 0.5, 0, 0, 1, 0.5, 0.2, 0, 1};
    m[7] = bad;
    const Matrix before = m;
    EXPECT_EQ(Export(m, 3, 0), -844) << bad;
    EXPECT_TRUE(SameBits(m, before)) << bad;
    // The same values are lengths in mode 1 and are accepted.
    EXPECT_EQ(Export(m, 3, 1), 1) << bad;
  }
  Matrix edge = {1, 1, 0, -0.0, 1, kNaN, 0, 0, 1};  // 1, -0 and NaN pass the scan
  EXPECT_EQ(Export(edge, 3, 0), 1);
}

TEST(FloydWarshallSmallGraphs, SmallestSumOnAChain) {
  Matrix m = {0, 2, 0, 0, 0, 3, 0, 0, 0};
  ASSERT_EQ(Export(m, 3, 1), 1);
  EXPECT_EQ(m[0 * 3 + 2], 5.0);
  EXPECT_EQ(m[2 * 3 + 0], 0.0);  // no way back
  EXPECT_EQ(m[0], 0.0);          // diagonal untouched

  Matrix longer = {0, 2, 10, 0, 0, 3, 0, 0, 0};
  ASSERT_EQ(Export(longer, 3, 1), 1);
  EXPECT_EQ(longer[2], 5.0);
  Matrix shorter = {0, 2, 4, 0, 0, 3, 0, 0, 0};
  ASSERT_EQ(Export(shorter, 3, 1), 1);
  EXPECT_EQ(shorter[2], 4.0);
}

TEST(FloydWarshallSmallGraphs, LargestProductOnAChain) {
  Matrix m = {1, 0.5, 0.2, 0, 1, 0.5, 0, 0, 1};
  ASSERT_EQ(Export(m, 3, 0), 1);
  EXPECT_EQ(m[2], 0.25);
  EXPECT_EQ(m[6], 0.0);
  Matrix kept = {1, 0.5, 0.3, 0, 1, 0.5, 0, 0, 1};
  ASSERT_EQ(Export(kept, 3, 0), 1);
  EXPECT_EQ(kept[2], 0.3);
}

TEST(FloydWarshallSmallGraphs, NegativeDiagonalChangesItsRowWithinThePass) {
  // With M(1,1) = -1 pass 1 lowers row 1 and column 1 as it goes, and later
  // cells of that pass read the lowered values: the loop's order matters.
  Matrix m = {0, 4, 0, 2, 0, -1, 3, 0, 1, 0, 0, 5, 0, 6, 0, 0};
  const Matrix want = Closed(m, 4, 1);
  ASSERT_EQ(Export(m, 4, 1), 1);
  EXPECT_TRUE(SameBits(m, want));
  EXPECT_EQ(m[1 * 4 + 2], 2.0);  // 3 + (-1): row 1 lowered by its own diagonal
  EXPECT_EQ(m[1 * 4 + 1], -1.0);
}

TEST(FloydWarshallSmallGraphs, NaNNeverReplacesAndIsReplacedOnlyWhereZero) {
  Matrix m = {0, kNaN, 0, 0, 0, 1, 0, 0, 0};
  ASSERT_EQ(Export(m, 3, 1), 1);
  EXPECT_TRUE(std::isnan(m[1]));
  EXPECT_TRUE(std::isnan(m[2]));  // was 0: NaN + 1 replaces it
  Matrix kept = {0, kNaN, 7, 0, 0, 1, 0, 0, 0};
  ASSERT_EQ(Export(kept, 3, 1), 1);
  EXPECT_EQ(kept[2], 7.0);  // NaN + 1 < 7 is false
}

struct RoadCase {
  const char* name;
  int mode;
  double density;
  double lo, hi;
  double diagonal;
};

void PrintTo(const RoadCase& rc, std::ostream* os) { *os << rc.name; }

// Inputs for every road, including the values that decide between them.
class FloydWarshallMatchesLoop : public ::testing::TestWithParam<RoadCase> {};

TEST_P(FloydWarshallMatchesLoop, BitForBitThroughTheExport) {
  const RoadCase& rc = GetParam();
  std::mt19937 rng(2024);
  for (int n : {2, 3, 5, 17, 63, 64, 65, 131, 200}) {
    std::uniform_real_distribution<double> value(rc.lo, rc.hi);
    Matrix m = RandomMatrix(n, rc.density, rng, value, rc.diagonal);
    const Matrix want = Closed(m, n, rc.mode);
    ASSERT_EQ(Export(m, n, rc.mode), 1) << rc.name << " n=" << n;
    ASSERT_TRUE(SameBits(m, want)) << rc.name << " n=" << n;
  }
}

INSTANTIATE_TEST_SUITE_P(Inputs, FloydWarshallMatchesLoop,
                         ::testing::Values(RoadCase{"product_sparse", 0, 0.1, 0.0, 1.0, 1.0},
                                           RoadCase{"product_dense", 0, 1.0, 0.0, 1.0, 0.0},
                                           RoadCase{"product_half_diag", 0, 0.3, 0.2, 1.0, 0.5},
                                           RoadCase{"sum_sparse", 1, 0.1, 0.5, 10.0, 0.0},
                                           RoadCase{"sum_dense", 1, 1.0, 0.0, 1.0, 0.0},
                                           RoadCase{"sum_negative_edges", 1, 0.2, -0.5, 10.0, 0.0},
                                           RoadCase{"sum_positive_diag", 1, 0.3, 1.0, 3.0, 0.25},
                                           RoadCase{"sum_negative_diag", 1, 0.3, 1.0, 3.0, -0.5}),
                         [](const ::testing::TestParamInfo<RoadCase>& info) {
                           return std::string(info.param.name);
                         });

// Plants awkward values into a random positive-length matrix.
Matrix WithSpecials(int n, std::mt19937& rng, const std::vector<double>& specials) {
  std::uniform_real_distribution<double> value(1.0, 5.0);
  Matrix m = RandomMatrix(n, 0.4, rng, value);
  std::uniform_int_distribution<int> cell(0, n * n - 1);
  for (double s : specials)
    for (int t = 0; t < 3; ++t) {
      const int c = cell(rng);
      if (c / n != c % n) m[c] = s;
    }
  return m;
}

#if MIRL_X86_KERNELS
TEST(FloydWarshallRoads, EveryRoadAndBlockSizeMatchesTheLoop) {
  if (!mirl::analysis::CpuHasAvx2()) GTEST_SKIP() << "blocked roads need AVX2";
  std::mt19937 rng(99);
  const std::vector<double> specials = {kNaN, kInf, -kInf, -0.0, 1e-300, 1e300, -2.0};
  for (int n : {2, 7, 33, 70}) {
    for (int block : {1, 3, 8, 64}) {
      // Mode 1 with the general rule: any values, diagonal finite and >= 0.
      Matrix m = WithSpecials(n, rng, specials);
      Matrix want = Closed(m, n, 1);
      mirl::analysis::FloydWarshallBlocked(m.data(), n, PathRoad::kBlockedSmallestSum, block);
      ASSERT_TRUE(SameBits(m, want)) << "smallest sum n=" << n << " block=" << block;

      // Mode 1 on the min-plus form: positive lengths within its bounds.
      std::uniform_real_distribution<double> length(0.01, 100.0);
      m = RandomMatrix(n, 0.3, rng, length);
      want = Closed(m, n, 1);
      ASSERT_EQ(mirl::analysis::ChoosePathRoad(mirl::analysis::CMatrixViewDbl(m.data(), -1, n, n),
                                               PathMode::kSmallestSum),
                PathRoad::kBlockedMinPlus);
      mirl::analysis::FloydWarshallBlocked(m.data(), n, PathRoad::kBlockedMinPlus, block);
      ASSERT_TRUE(SameBits(m, want)) << "min plus n=" << n << " block=" << block;

      // Mode 0 with NaN and -0 among the probabilities.
      std::uniform_real_distribution<double> p(0.0, 1.0);
      m = RandomMatrix(n, 0.3, rng, p, 1.0);
      if (n > 2) m[1] = kNaN, m[n] = -0.0;
      want = Closed(m, n, 0);
      mirl::analysis::FloydWarshallBlocked(m.data(), n, PathRoad::kBlockedLargestProduct, block);
      ASSERT_TRUE(SameBits(m, want)) << "largest product n=" << n << " block=" << block;
    }
  }
}
#endif

TEST(FloydWarshallRoads, PlainRoadMatchesTheLoopOnAnyDiagonal) {
  std::mt19937 rng(5);
  for (bool vector : {false, true}) {
    for (int n : {2, 6, 41}) {
      for (double d : {-1.0, kNaN, kInf, 0.0}) {
        Matrix m = WithSpecials(n, rng, {kNaN, -0.0, -3.0});
        for (int i = 0; i < n; i += 2) m[i * n + i] = d;
        const Matrix want = Closed(m, n, 1);
        mirl::analysis::FloydWarshallPlain(m.data(), n, PathMode::kSmallestSum, vector);
        ASSERT_TRUE(SameBits(m, want)) << "n=" << n << " d=" << d << " vector=" << vector;
      }
      std::uniform_real_distribution<double> p(0.0, 1.0);
      Matrix m = RandomMatrix(n, 0.5, rng, p, 0.7);
      const Matrix want = Closed(m, n, 0);
      mirl::analysis::FloydWarshallPlain(m.data(), n, PathMode::kLargestProduct, vector);
      ASSERT_TRUE(SameBits(m, want)) << "mode 0 n=" << n << " vector=" << vector;
    }
  }
}

TEST(FloydWarshallRoads, ChoiceFollowsWhatTheInputAllows) {
  auto road = [](Matrix m, int n, PathMode mode) {
    return mirl::analysis::ChoosePathRoad(mirl::analysis::CMatrixViewDbl(m.data(), -1, n, n), mode);
  };
  const Matrix base = {0, 2, 0, 0, 0, 3, 1, 0, 0};
  if (!mirl::analysis::CpuHasAvx2()) {
    // Without AVX2 (or outside x86) every road is plain.
    EXPECT_EQ(road(base, 3, PathMode::kSmallestSum), PathRoad::kPlain);
    EXPECT_EQ(road(base, 3, PathMode::kLargestProduct), PathRoad::kPlain);
    return;
  }
  EXPECT_EQ(road(base, 3, PathMode::kSmallestSum), PathRoad::kBlockedMinPlus);
  EXPECT_EQ(road(base, 3, PathMode::kLargestProduct), PathRoad::kBlockedLargestProduct);
  auto with = [&](int cell, double v) {
    Matrix m = base;
    m[cell] = v;
    return road(m, 3, PathMode::kSmallestSum);
  };
  EXPECT_EQ(with(4, -0.5), PathRoad::kPlain);  // negative diagonal
  EXPECT_EQ(with(4, kNaN), PathRoad::kPlain);
  EXPECT_EQ(with(4, kInf), PathRoad::kPlain);
  EXPECT_EQ(with(4, 0.5), PathRoad::kBlockedMinPlus);
  EXPECT_EQ(with(4, -0.0), PathRoad::kBlockedMinPlus);  // -0 on the diagonal is put back
  EXPECT_EQ(with(1, -2.0), PathRoad::kBlockedSmallestSum);
  EXPECT_EQ(with(1, -0.0), PathRoad::kBlockedSmallestSum);
  EXPECT_EQ(with(1, 1e-200), PathRoad::kBlockedSmallestSum);  // products could underflow
  EXPECT_EQ(with(1, 1e308), PathRoad::kBlockedSmallestSum);   // sums could overflow
  EXPECT_EQ(with(1, kNaN), PathRoad::kBlockedSmallestSum);
}

// Independent check of what the closure means: shortest path lengths from
// every source by Dijkstra on positive lengths.
std::vector<double> Dijkstra(const Matrix& m, int n, int source) {
  std::vector<double> dist(n, kInf);
  using Item = std::pair<double, int>;
  std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
  dist[source] = 0;
  queue.push({0.0, source});
  while (!queue.empty()) {
    auto [d, u] = queue.top();
    queue.pop();
    if (d > dist[u]) continue;
    for (int v = 0; v < n; ++v) {
      const double w = m[u * n + v];
      if (v == u || w == 0) continue;
      if (d + w < dist[v]) queue.push({dist[v] = d + w, v});
    }
  }
  return dist;
}

TEST(FloydWarshallMeaning, SmallestSumsAreShortestPathLengths) {
  std::mt19937 rng(17);
  std::uniform_real_distribution<double> length(0.1, 10.0);
  for (int n : {9, 60, 150}) {
    const Matrix input = RandomMatrix(n, 0.08, rng, length);
    Matrix m = input;
    ASSERT_EQ(Export(m, n, 1), 1);
    for (int s = 0; s < n; ++s) {
      const std::vector<double> dist = Dijkstra(input, n, s);
      for (int t = 0; t < n; ++t) {
        if (t == s) continue;
        if (std::isinf(dist[t])) {
          ASSERT_EQ(m[s * n + t], 0.0) << s << "->" << t;
        } else {
          ASSERT_NEAR(m[s * n + t], dist[t], 1e-12 * dist[t]) << s << "->" << t;
        }
      }
    }
  }
}

TEST(FloydWarshallMeaning, LargestProductIsSmallestSumOfMinusLogs) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> p(0.05, 0.95);
  for (int n : {12, 90}) {
    const Matrix probs = RandomMatrix(n, 0.15, rng, p, 1.0);
    Matrix logs(probs.size());
    for (size_t i = 0; i < probs.size(); ++i)
      logs[i] = (i % (n + 1) == 0 || probs[i] == 0) ? 0.0 : -std::log(probs[i]);
    Matrix m = probs;
    ASSERT_EQ(Export(m, n, 0), 1);
    ASSERT_EQ(Export(logs, n, 1), 1);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        if (i == j) continue;
        const double via_logs = logs[i * n + j] == 0 ? 0.0 : std::exp(-logs[i * n + j]);
        ASSERT_NEAR(m[i * n + j], via_logs, 1e-12) << i << "->" << j;
      }
  }
}

TEST(FloydWarshallHost, RTwinStoresTheCodeItReturns) {
  mirl_test::LoadedLibrary lib;
  auto R_floyd_warshall = lib.find<int (*)(int*, int*, double*, int*)>("R_floyd_warshall");
  ASSERT_NE(R_floyd_warshall, nullptr);
  Matrix m = {0, 2, 0, 0, 0, 3, 0, 0, 0};
  int result = 0, n = 3, mode = 1;
  EXPECT_EQ(R_floyd_warshall(&result, &n, m.data(), &mode), 1);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(m[2], 5.0);
  mode = 3;
  EXPECT_EQ(R_floyd_warshall(&result, &n, m.data(), &mode), -843);
  EXPECT_EQ(result, -843);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(FloydWarshallLog, ArgumentFailuresAreLoggedButTheRangeFailureIsNot) {
  mirl_test::TempDir dir;
  mirl_test::ScopedCwd cwd(dir.path());
  mirl::session::OpenSessionLog();
  Matrix m = {1, 2, 0, 1};
  EXPECT_EQ(floyd_warshall(1, m.data(), 0), -841);
  EXPECT_EQ(floyd_warshall(2, m.data(), 0), -844);
  EXPECT_EQ(floyd_warshall(2, m.data(), 1), 1);
  mirl::session::CloseSession();
  const std::string log = ReadFile(dir.file("mirl_lib_log.txt"));
  EXPECT_NE(log.find("| Entering floyd_warshall\n"), std::string::npos);
  EXPECT_NE(log.find("| floyd_warshall returned with code: -841\n"), std::string::npos);
  EXPECT_EQ(log.find("-844"), std::string::npos);
  EXPECT_EQ(log.find("code: 1"), std::string::npos);
  size_t entries = 0;
  for (size_t at = log.find("Entering"); at != std::string::npos; at = log.find("Entering", at + 1))
    ++entries;
  EXPECT_EQ(entries, 3u);
}

}  // namespace
