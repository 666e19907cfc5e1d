#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "exports/analysis_grid_api.h"
#include "session/session_record.h"
#include "support/address_limit.h"
#include "support/loaded_library.h"
#include "support/temp_dir.h"

namespace {

using Grid = std::vector<int>;

// Labelling written the plain way: join every cell with each equal valid
// neighbour in a disjoint-set forest, then number the sets by their first
// cell in storage order.
struct Oracle {
  Grid labels;
  int count = 0;
};

Oracle Label(const Grid& g, int rows, int cols, int neighborhood, int missing) {
  const int n = rows * cols;
  std::vector<int> parent(n);
  std::iota(parent.begin(), parent.end(), 0);
  auto find = [&](int x) {
    while (parent[x] != x) x = parent[x];
    return x;
  };
  auto valid = [&](int v) { return v >= 0 && v != missing; };
  const int dr[8] = {-1, 1, 0, 0, -1, -1, 1, 1};
  const int dc[8] = {0, 0, 1, -1, 1, -1, 1, -1};
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      if (!valid(g[r * cols + c])) continue;
      for (int k = 0; k < neighborhood; ++k) {
        const int nr = r + dr[k], nc = c + dc[k];
        if (nr < 0 || nc < 0 || nr >= rows || nc >= cols) continue;
        if (g[nr * cols + nc] == g[r * cols + c]) parent[find(nr * cols + nc)] = find(r * cols + c);
      }
    }
  Oracle out{g, 0};
  std::vector<int> number(n, -1);
  for (int i = 0; i < n; ++i) {
    if (!valid(g[i])) continue;
    const int root = find(i);
    if (number[root] < 0) number[root] = out.count++;
    out.labels[i] = number[root];
  }
  return out;
}

struct Scan {
  int code;
  int count;
  Grid grid;
};

Scan Scanned(Grid g, int rows, int cols, int neighborhood, int missing = -1) {
  int count = -77;
  const int code = patch_scan(g.data(), rows, cols, neighborhood, missing, &count);
  return Scan{code, count, g};
}

TEST(PatchScanArguments, CodesInOrderLeaveGridAndCountAlone) {
  Grid g = {1, 2, 3, 4};
  int count = -5;
  EXPECT_EQ(patch_scan(nullptr, 2, 2, 4, -1, &count), -221);
  EXPECT_EQ(patch_scan(g.data(), 0, 2, 4, -1, &count), -222);
  EXPECT_EQ(patch_scan(g.data(), -3, 2, 4, -1, &count), -222);
  EXPECT_EQ(patch_scan(g.data(), 2, 0, 4, -1, &count), -223);
  EXPECT_EQ(patch_scan(g.data(), 2, 2, 6, -1, &count), -224);
  EXPECT_EQ(patch_scan(g.data(), 2, 2, 0, -1, &count), -224);
  EXPECT_EQ(patch_scan(g.data(), 2, 2, 8, -1, nullptr), -225);
  EXPECT_EQ(patch_scan(nullptr, 0, 0, 6, -1, nullptr), -221);
  EXPECT_EQ(patch_scan(g.data(), 0, 0, 6, -1, nullptr), -222);
  EXPECT_EQ(patch_scan(g.data(), 1, 0, 6, -1, nullptr), -223);
  EXPECT_EQ(patch_scan(g.data(), 1, 1, 6, -1, nullptr), -224);
  EXPECT_EQ(g, (Grid{1, 2, 3, 4}));
  EXPECT_EQ(count, -5);
}

TEST(PatchScanArguments, GridTooLargeForInt32NumbersIsRefusedBeforeItIsRead) {
  Grid g = {7};
  int count = -5;
  // 46341 x 46341 cells exceed what int32 patch numbers can count; only the
  // dimensions are looked at.
  EXPECT_EQ(patch_scan(g.data(), 46341, 46341, 4, -1, &count), -227);
  EXPECT_EQ(patch_scan(g.data(), 2147483647, 2, 8, -1, &count), -227);
  EXPECT_EQ(g, Grid{7});
  EXPECT_EQ(count, -5);
}

TEST(PatchScanBasics, OneValueIsOnePatch) {
  const Scan s = Scanned(Grid(12, 4), 3, 4, 4);
  EXPECT_EQ(s.code, 1);
  EXPECT_EQ(s.count, 1);
  EXPECT_EQ(s.grid, Grid(12, 0));
}

TEST(PatchScanBasics, CheckerboardSeparatesWithFourAndJoinsWithEight) {
  const Grid board = {1, 2, 1, 2, 2, 1, 2, 1, 1, 2, 1, 2};
  const Scan four = Scanned(board, 3, 4, 4);
  EXPECT_EQ(four.count, 12);
  Grid numbers(12);
  std::iota(numbers.begin(), numbers.end(), 0);
  EXPECT_EQ(four.grid, numbers);
  const Scan eight = Scanned(board, 3, 4, 8);
  EXPECT_EQ(eight.count, 2);
  EXPECT_EQ(eight.grid, (Grid{0, 1, 0, 1, 1, 0, 1, 0, 0, 1, 0, 1}));
}

TEST(PatchScanBasics, CornerContactCountsOnlyWithEight) {
  // The 3s touch corner to corner one way (north-west to south-east), the 5s
  // the other way; the 0s only through corners too.
  const Grid g = {3, 0, 0, 5, 0, 3, 5, 0};
  const Scan four = Scanned(g, 2, 4, 4);
  EXPECT_EQ(four.grid, (Grid{0, 1, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(four.count, 7);
  const Scan eight = Scanned(g, 2, 4, 8);
  EXPECT_EQ(eight.grid, (Grid{0, 1, 1, 2, 1, 0, 2, 1}));
  EXPECT_EQ(eight.count, 3);
}

TEST(PatchScanBasics, ArmsThatJoinLaterKeepTheNumberOfTheFirstCell) {
  // A U of 1s around a column of 0s: the right arm starts a patch of its own
  // in row 1 and is found to belong to the left one only in row 3.
  const Grid u = {1, 0, 2, 1, 1, 0, 2, 1, 1, 1, 1, 1};
  for (int nb : {4, 8}) {
    const Scan s = Scanned(u, 3, 4, nb);
    EXPECT_EQ(s.grid, (Grid{0, 1, 2, 0, 0, 1, 2, 0, 0, 0, 0, 0})) << nb;
    EXPECT_EQ(s.count, 3) << nb;
  }
}

TEST(PatchScanBasics, NegativeAndMissingCellsKeepTheirValues) {
  const Scan none = Scanned(Grid{-1, -5, -9999, -1}, 2, 2, 8, -9999);
  EXPECT_EQ(none.count, 0);
  EXPECT_EQ(none.grid, (Grid{-1, -5, -9999, -1}));
  const Scan some = Scanned(Grid{4, -9999, 4, -3, 4, 4}, 2, 3, 4, -9999);
  EXPECT_EQ(some.grid, (Grid{0, -9999, 1, -3, 1, 1}));
  EXPECT_EQ(some.count, 2);
}

TEST(PatchScanBasics, MissingValueThatIsNotNegativeIsNoPatchAndNumbersPassIt) {
  // Missing is 1; patch numbers run 0, 1, 2, 3 past it, and the missing
  // cells keep their 1.
  const Grid g = {5, 1, 5, 1, 1, 1, 7, 1, 7};
  const Scan s = Scanned(g, 3, 3, 4, 1);
  EXPECT_EQ(s.grid, (Grid{0, 1, 1, 1, 1, 1, 2, 1, 3}));
  EXPECT_EQ(s.count, 4);
  // Missing 0 with the value 0 nowhere else: 0 is just a hole.
  const Scan z = Scanned(Grid{0, 3, 3, 0, 0, 3}, 2, 3, 8, 0);
  EXPECT_EQ(z.grid, (Grid{0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(z.count, 1);
}

TEST(PatchScanBasics, SingleRowsAndColumns) {
  EXPECT_EQ(Scanned(Grid{2, 2, 3, 3, 2}, 1, 5, 8).grid, (Grid{0, 0, 1, 1, 2}));
  EXPECT_EQ(Scanned(Grid{2, 2, 3, 3, 2}, 5, 1, 4).grid, (Grid{0, 0, 1, 1, 2}));
  const Scan one = Scanned(Grid{0}, 1, 1, 4);
  EXPECT_EQ(one.grid, Grid{0});
  EXPECT_EQ(one.count, 1);
}

void ExpectMatchesOracle(const Grid& g, int rows, int cols, int nb, int missing,
                         const std::string& what) {
  const Oracle want = Label(g, rows, cols, nb, missing);
  const Scan got = Scanned(g, rows, cols, nb, missing);
  ASSERT_EQ(got.code, 1) << what;
  ASSERT_EQ(got.count, want.count) << what;
  ASSERT_EQ(got.grid, want.labels) << what;
}

TEST(PatchScanOracle, SmallRandomGridsWithEveryKindOfMissingValue) {
  std::mt19937 rng(31);
  std::uniform_int_distribution<int> value(-2, 3);
  const int missings[] = {-1, -9999, 0, 2, 7};
  for (int trial = 0; trial < 600; ++trial) {
    const int rows = 1 + trial % 13, cols = 1 + (trial / 13) % 17;
    Grid g(rows * cols);
    for (int& v : g) v = value(rng);
    const int missing = missings[trial % 5];
    const int nb = trial % 2 ? 8 : 4;
    ExpectMatchesOracle(g, rows, cols, nb, missing, "trial " + std::to_string(trial));
  }
}

TEST(PatchScanOracle, LargerNoiseAndBlobGrids) {
  std::mt19937 rng(5);
  const int rows = 230, cols = 310;
  Grid noise(rows * cols), blobs(rows * cols);
  std::uniform_int_distribution<int> cls(0, 4);
  for (int& v : noise) v = cls(rng);
  // Blobs: classes from a coarse random field, so patches are large and
  // wind around each other.
  Grid coarse(24 * 32);
  for (int& v : coarse) v = cls(rng);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) blobs[r * cols + c] = coarse[(r / 10) * 32 + c / 10];
  for (int nb : {4, 8}) {
    ExpectMatchesOracle(noise, rows, cols, nb, -1, "noise " + std::to_string(nb));
    ExpectMatchesOracle(blobs, rows, cols, nb, -1, "blobs " + std::to_string(nb));
    ExpectMatchesOracle(blobs, rows, cols, nb, 3, "blobs, missing 3, " + std::to_string(nb));
  }
}

TEST(PatchScanOracle, RowsOfLongRunsBetweenRowsOfNoise) {
  // Rows of long runs are labelled run by run and noisy rows cell by cell,
  // so these grids switch between the two from row to row, at widths around
  // the 64-column words that mark where runs begin, with runs of the
  // missing value and of negatives among them.
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> value(-1, 3);
  const int widths[] = {1, 2, 3, 5, 63, 64, 65, 127, 128, 129, 203};
  const int missings[] = {-1, 2, -9999};
  int trial = 0;
  for (int cols : widths) {
    for (int k = 0; k < 6; ++k, ++trial) {
      const int rows = 1 + static_cast<int>(rng() % 40);
      Grid g(static_cast<size_t>(rows) * cols);
      for (int r = 0; r < rows; ++r) {
        int* row = &g[static_cast<size_t>(r) * cols];
        const bool runs = rng() % 3 != 0;
        for (int c = 0; c < cols;) {
          const int length = runs ? 1 + static_cast<int>(rng() % (2 + cols / 3)) : 1;
          const int v = value(rng);
          for (int i = 0; i < length && c < cols; ++i) row[c++] = v;
        }
      }
      const int missing = missings[trial % 3];
      for (int nb : {4, 8}) {
        ExpectMatchesOracle(g, rows, cols, nb, missing,
                            "width " + std::to_string(cols) + ", trial " + std::to_string(k) +
                                ", neighbourhood " + std::to_string(nb));
      }
    }
  }
}

TEST(PatchScanOracle, CombWhoseTeethJoinOnlyInTheLastRow) {
  // Teeth of 1 in every even column, joined by a bottom row of 1; the scan
  // gives each tooth a label of its own and learns they are one at the end.
  const int n = 41;
  Grid g(n * n, 0);
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c)
      if (c % 2 == 0 || r == n - 1) g[r * n + c] = 1;
  for (int nb : {4, 8}) {
    ExpectMatchesOracle(g, n, n, nb, -1, "comb " + std::to_string(nb));
    const Scan s = Scanned(g, n, n, nb);
    EXPECT_EQ(s.count, 1 + n / 2);
    EXPECT_EQ(s.grid[(n - 1) * n + n - 1], 0);  // the last cell joins the first patch
    EXPECT_EQ(s.grid[1], 1);
    EXPECT_EQ(s.grid[3], 2);
  }
}

TEST(PatchScanMemory, AllocationFailureGivesItsOwnCodeAndLeavesTheGridAlone) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#endif
  if (!mirl_test::CanLimitAddressSpace()) GTEST_SKIP() << "no address-space limit here";
  // The work space of a 2000 x 2000 grid needs 16 MB more than the grid; an
  // address-space limit just above what is in use makes it fail.
  EXPECT_EXIT(
      {
        const int n = 2000;
        Grid g(n * n, 3);
        g[5] = 4;
        mirl_test::LimitAddressSpace(std::size_t{4} << 20);
        int count = -5;
        const int code = patch_scan(g.data(), n, n, 4, -1, &count);
        bool intact = count == -5 && g[5] == 4 && g[0] == 3 && g[n * n - 1] == 3;
        std::_Exit(code == -226 && intact ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

std::vector<std::string> LogTexts(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> texts;
  for (std::string line; std::getline(in, line);)
    texts.push_back(line.substr(line.find(" | ") + 3));
  return texts;
}

TEST(PatchScanLog, EveryArgumentFailureIsLoggedSuccessIsNot) {
  mirl_test::TempDir dir;
  mirl_test::ScopedCwd cwd(dir.path());
  mirl::session::OpenSessionLog();
  Grid g = {1, 1};
  int count = 0;
  EXPECT_EQ(patch_scan(g.data(), 1, 2, 4, -1, &count), 1);
  EXPECT_EQ(patch_scan(g.data(), 1, 2, 5, -1, &count), -224);
  EXPECT_EQ(patch_scan(g.data(), 1, 2, 4, -1, nullptr), -225);
  mirl::session::CloseSession();
  EXPECT_EQ(LogTexts(dir.file("mirl_lib_log.txt")),
            (std::vector<std::string>{"Entering patch_scan", "Entering patch_scan",
                                      "patch_scan returned with code: -224", "Entering patch_scan",
                                      "patch_scan returned with code: -225"}));
}

TEST(PatchScanTwin, RTwinPassesEveryArgumentAndStoresTheCode) {
  mirl_test::LoadedLibrary lib;
  auto R_patch_scan = lib.find<int (*)(int*, int*, int*, int*, int*, int*, int*)>("R_patch_scan");
  ASSERT_NE(R_patch_scan, nullptr);
  Grid g = {6, 6, 9, 9, 6, 6};  // 2 x 3: rows 6 6 9 / 9 6 6
  int result = 0, rows = 2, cols = 3, nb = 4, missing = 9, count = 0;
  EXPECT_EQ(R_patch_scan(&result, g.data(), &rows, &cols, &nb, &missing, &count), 1);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(g, (Grid{0, 0, 9, 9, 0, 0}));
  nb = 3;
  EXPECT_EQ(R_patch_scan(&result, g.data(), &rows, &cols, &nb, &missing, &count), -224);
  EXPECT_EQ(result, -224);
}

}  // namespace
