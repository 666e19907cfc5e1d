#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "exports/analysis_grid_api.h"
#include "session/session_record.h"
#include "support/loaded_library.h"
#include "support/temp_dir.h"

namespace {

// D8 codes by neighbour, clockwise from north, with their offsets.
enum : int { E = 1, SE = 2, S = 4, SW = 8, W = 16, NW = 32, N = 64, NE = 128 };

// A flow network under test: three matrices of one size with 1-based verbs.
struct Net {
  Net(int rows, int cols, double cost = 1.0)
      : rows(rows),
        cols(cols),
        cost(rows * cols, cost),
        dir(rows * cols, 0),
        wet(rows * cols, 0.0) {}
  int& Dir(int r, int c) { return dir[(r - 1) * cols + (c - 1)]; }
  double& Cost(int r, int c) { return cost[(r - 1) * cols + (c - 1)]; }
  double& Wet(int r, int c) { return wet[(r - 1) * cols + (c - 1)]; }
  int Spread(double value, int r, int c) {
    return wetspread(value, r, c, rows, cols, cost.data(), dir.data(), wet.data());
  }
  int rows, cols;
  std::vector<double> cost;
  std::vector<int> dir;
  std::vector<double> wet;
};

// The walk as plain recursion, written from the description of the two
// traversals, with the same refusal: re-entering a cell that the same kind
// of traversal is still inside of ends everything.
class RecursiveOracle {
 public:
  RecursiveOracle(Net& net) : net_(net), down_(net.dir.size(), 0), up_(net.dir.size(), 0) {
    for (int i = 0; i < 8; ++i) from_[i] = to_[(i + 4) % 8];
  }
  int Run(double value, int r, int c) {
    if (net_.Dir(r, c) == 0) return 1;
    Down(r - 1, c - 1, value);
    return cycle_ ? -249 : 1;
  }

 private:
  int Index(int r, int c) const { return r * net_.cols + c; }
  bool Outside(int r, int c) const { return r < 0 || c < 0 || r >= net_.rows || c >= net_.cols; }
  void Down(int r, int c, double x) {
    const int at = Index(r, c);
    if (!(x > 0) || net_.dir[at] <= 0) return;
    if (down_[at]) {
      cycle_ = true;
      return;
    }
    net_.wet[at] = x;
    down_[at] = 1;
    for (int i = 0; i < 8 && !cycle_; ++i) {
      const int nr = r + dr_[i], nc = c + dc_[i];
      if (Outside(nr, nc)) continue;
      const int n = Index(nr, nc);
      if (net_.dir[at] == to_[i])
        Down(nr, nc, x - net_.cost[n]);
      else if (net_.wet[n] == 0 && net_.dir[n] == from_[i])
        Up(nr, nc, x - net_.cost[n]);
    }
    down_[at] = 0;
  }
  void Up(int r, int c, double x) {
    const int at = Index(r, c);
    if (!(x > 0) || net_.dir[at] <= 0) return;
    if (up_[at]) {
      cycle_ = true;
      return;
    }
    net_.wet[at] = x;
    up_[at] = 1;
    for (int i = 0; i < 8 && !cycle_; ++i) {
      const int nr = r + dr_[i], nc = c + dc_[i];
      if (Outside(nr, nc)) continue;
      if (net_.dir[Index(nr, nc)] == from_[i]) Up(nr, nc, x - net_.cost[Index(nr, nc)]);
    }
    up_[at] = 0;
  }

  Net& net_;
  std::vector<char> down_, up_;
  bool cycle_ = false;
  const int dr_[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
  const int dc_[8] = {0, 1, 1, 1, 0, -1, -1, -1};
  const int to_[8] = {N, NE, E, SE, S, SW, W, NW};
  int from_[8];
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(WetspreadArguments, CodesComeInTheirOrderAndWriteNothing) {
  Net net(2, 3);
  net.Dir(1, 1) = E;
  const double nan = std::nan("");
  EXPECT_EQ(net.Spread(0.0, 1, 1), -241);
  EXPECT_EQ(net.Spread(-2.0, 1, 1), -241);
  EXPECT_EQ(net.Spread(nan, 1, 1), -241);
  EXPECT_EQ(net.Spread(5.0, 0, 1), -242);
  EXPECT_EQ(net.Spread(5.0, 3, 1), -242);
  EXPECT_EQ(net.Spread(5.0, 1, 0), -243);
  EXPECT_EQ(net.Spread(5.0, 1, 4), -243);
  EXPECT_EQ(wetspread(5.0, 1, 1, 0, 3, net.cost.data(), net.dir.data(), net.wet.data()), -242);
  EXPECT_EQ(wetspread(5.0, 1, 1, 2, -1, net.cost.data(), net.dir.data(), net.wet.data()), -243);
  EXPECT_EQ(wetspread(5.0, 1, 1, 2, 3, nullptr, net.dir.data(), net.wet.data()), -246);
  EXPECT_EQ(wetspread(5.0, 1, 1, 2, 3, net.cost.data(), nullptr, net.wet.data()), -247);
  EXPECT_EQ(wetspread(5.0, 1, 1, 2, 3, net.cost.data(), net.dir.data(), nullptr), -248);
  // Each check wins over every later one.
  EXPECT_EQ(wetspread(0.0, 0, 0, 0, 0, nullptr, nullptr, nullptr), -241);
  EXPECT_EQ(wetspread(1.0, 9, 0, 2, 3, nullptr, nullptr, nullptr), -242);
  EXPECT_EQ(wetspread(1.0, 1, 9, 2, 3, nullptr, nullptr, nullptr), -243);
  EXPECT_EQ(wetspread(1.0, 1, 1, 2, 3, nullptr, nullptr, nullptr), -246);
  EXPECT_EQ(wetspread(1.0, 1, 1, 2, 3, net.cost.data(), nullptr, nullptr), -247);
  for (double v : net.wet) EXPECT_EQ(v, 0.0);
}

TEST(WetspreadSource, DirectionZeroWritesNothingAndNegativeStopsAtTheSource) {
  Net net(1, 3);
  net.Dir(1, 2) = E;
  net.Dir(1, 3) = W;
  EXPECT_EQ(net.Spread(4.0, 1, 1), 1);  // code 0 at the source
  EXPECT_EQ(net.wet, std::vector<double>(3, 0.0));
  net.Dir(1, 1) = -1;
  net.Wet(1, 1) = 0.5;
  EXPECT_EQ(net.Spread(4.0, 1, 1), 1);
  EXPECT_EQ(net.wet, (std::vector<double>{0.5, 0.0, 0.0}));
}

TEST(WetspreadDownstream, StraightChannelLosesOnePerCellAndStopsAtZero) {
  Net net(1, 6);
  for (int c = 1; c <= 6; ++c) net.Dir(1, c) = E;
  net.Cost(1, 2) = 1.0;
  net.Cost(1, 1) = 100.0;  // the source's own cost is never charged
  net.Wet(1, 4) = 9.0;     // 3 - 3 = 0 does not enter, so this stays
  EXPECT_EQ(net.Spread(3.0, 1, 1), 1);
  EXPECT_EQ(net.wet, (std::vector<double>{3.0, 2.0, 1.0, 9.0, 0.0, 0.0}));
}

TEST(WetspreadDownstream, PathOverwritesAndLeavesTheMatrixAtTheEdge) {
  Net net(3, 3, 0.5);
  net.Dir(1, 1) = SE;
  net.Dir(2, 2) = SE;
  net.Dir(3, 3) = SE;  // points out of the matrix
  net.Wet(2, 2) = -7.0;
  EXPECT_EQ(net.Spread(10.0, 1, 1), 1);
  EXPECT_EQ(net.Wet(1, 1), 10.0);
  EXPECT_EQ(net.Wet(2, 2), 9.5);
  EXPECT_EQ(net.Wet(3, 3), 9.0);
}

TEST(WetspreadDownstream, UnknownPositiveCodeEndsThePathButKeepsItsTributaries) {
  // Row 1 drains east into (1,3), which holds code 3 (no direction), so the
  // path ends there; (1,4), (2,4) and (2,3) all drain into (1,3) and are
  // entered as its tributaries.
  Net net(2, 4);
  net.Dir(1, 1) = E;
  net.Dir(1, 2) = E;
  net.Dir(1, 3) = 3;
  net.Dir(1, 4) = W;  // drains back into (1,3): a tributary
  net.Dir(2, 3) = N;
  net.Dir(2, 4) = NW;
  EXPECT_EQ(net.Spread(10.0, 1, 1), 1);
  EXPECT_EQ(net.Wet(1, 3), 8.0);
  EXPECT_EQ(net.Wet(1, 4), 7.0);
  EXPECT_EQ(net.Wet(2, 3), 7.0);
  EXPECT_EQ(net.Wet(2, 4), 7.0);
}

// A main channel along row 3 draining east, with tributaries:
//   (2,2) S into (3,2); (1,2) S into (2,2); (1,1) SE into (2,2)
//   (4,3) NE into (3,4); (5,3) N into (4,3)
// Costs are distinct powers of two so every value names its path.
class WetspreadTributaries : public ::testing::Test {
 protected:
  WetspreadTributaries() : net(5, 5) {
    for (int c = 1; c <= 5; ++c) net.Dir(3, c) = E;
    net.Dir(2, 2) = S;
    net.Dir(1, 2) = S;
    net.Dir(1, 1) = SE;
    net.Dir(4, 3) = NE;
    net.Dir(5, 3) = N;
    int k = 0;
    for (double& v : net.cost) v = std::ldexp(1.0, -(++k));
  }
  Net net;
};

TEST_F(WetspreadTributaries, DryTributariesAreFollowedUpstreamFromThePath) {
  const double x = 4.0;
  EXPECT_EQ(net.Spread(x, 3, 1), 1);
  const double w32 = x - net.Cost(3, 2), w33 = w32 - net.Cost(3, 3), w34 = w33 - net.Cost(3, 4);
  EXPECT_EQ(net.Wet(3, 1), x);
  EXPECT_EQ(net.Wet(3, 5), w34 - net.Cost(3, 5));
  const double w22 = w32 - net.Cost(2, 2);
  EXPECT_EQ(net.Wet(2, 2), w22);
  EXPECT_EQ(net.Wet(1, 2), w22 - net.Cost(1, 2));
  EXPECT_EQ(net.Wet(1, 1), w22 - net.Cost(1, 1));
  const double w43 = w34 - net.Cost(4, 3);
  EXPECT_EQ(net.Wet(4, 3), w43);
  EXPECT_EQ(net.Wet(5, 3), w43 - net.Cost(5, 3));
  // Cells on no path and draining nowhere stay dry.
  EXPECT_EQ(net.Wet(1, 3), 0.0);
  EXPECT_EQ(net.Wet(4, 1), 0.0);
}

TEST_F(WetspreadTributaries, WetFirstCellBlocksItsTributaryButNotTheUpstreamWalk) {
  net.Wet(2, 2) = 0.25;  // the first cell is not dry: (2,2) and above untouched
  net.Wet(5, 3) = -1.0;  // inside a dry tributary: overwritten regardless
  EXPECT_EQ(net.Spread(4.0, 3, 1), 1);
  EXPECT_EQ(net.Wet(2, 2), 0.25);
  EXPECT_EQ(net.Wet(1, 2), 0.0);
  EXPECT_EQ(net.Wet(1, 1), 0.0);
  EXPECT_GT(net.Wet(4, 3), 0.0);
  EXPECT_EQ(net.Wet(5, 3), net.Wet(4, 3) - net.Cost(5, 3));
}

TEST_F(WetspreadTributaries, SourceInsideATributaryRunsDownThenUpTheOthers) {
  // From (1,2): down through (2,2) to the channel and on east; (1,1) drains
  // into (2,2) and is dry, so it is entered from the path.
  EXPECT_EQ(net.Spread(4.0, 1, 2), 1);
  const double w22 = 4.0 - net.Cost(2, 2);
  EXPECT_EQ(net.Wet(1, 1), w22 - net.Cost(1, 1));
  EXPECT_EQ(net.Wet(3, 2), w22 - net.Cost(3, 2));
  // (3,1) drains into the path cell (3,2), so it is a tributary now.
  EXPECT_EQ(net.Wet(3, 1), net.Wet(3, 2) - net.Cost(3, 1));
}

TEST(WetspreadCycles, ZeroOrNegativeCostsAroundACycleAreRefusedNotLoopedOn) {
  for (double cost : {0.0, -1.0}) {
    Net net(1, 3, cost);
    net.Dir(1, 1) = E;
    net.Dir(1, 2) = E;
    net.Dir(1, 3) = W;  // (1,2) and (1,3) drain into each other
    EXPECT_EQ(net.Spread(5.0, 1, 1), -249) << cost;
    EXPECT_EQ(net.Wet(1, 1), 5.0);  // what was reached before stays
  }
}

TEST(WetspreadCycles, TinyCostsThatVanishInRoundingAreRefusedToo) {
  Net net(2, 2, 1e-300);
  net.Dir(1, 1) = E;
  net.Dir(1, 2) = S;
  net.Dir(2, 2) = W;
  net.Dir(2, 1) = N;
  EXPECT_EQ(net.Spread(1.0, 1, 1), -249);
}

TEST(WetspreadCycles, UpstreamWalkAroundACycleIsRefused) {
  // (1,1) -> (1,2) -> (2,2) -> (2,1) -> (1,1) is a cycle; the source (1,3)
  // drains into it at (1,2). The cost of (2,2) stops the downstream path,
  // but from (1,2) the walk goes up into the dry (1,1), whose negative cost
  // lifts the value enough to carry it round the cycle against the flow.
  Net net(2, 3, 0.0);
  net.Dir(1, 3) = W;
  net.Dir(1, 1) = E;
  net.Dir(1, 2) = S;
  net.Dir(2, 2) = W;
  net.Dir(2, 1) = N;
  net.Cost(2, 2) = 10.0;
  net.Cost(1, 1) = -10.0;
  EXPECT_EQ(net.Spread(5.0, 1, 3), -249);
}

TEST(WetspreadCycles, CycleTheValueNeverReachesIsNoConcern) {
  Net net(1, 5, 1.0);
  net.Dir(1, 1) = E;
  net.Dir(1, 2) = E;
  net.Dir(1, 3) = E;
  net.Dir(1, 4) = E;
  net.Dir(1, 5) = W;  // (1,4) and (1,5) form a cycle of cost 0
  net.Cost(1, 4) = 0.0;
  net.Cost(1, 5) = 0.0;
  EXPECT_EQ(net.Spread(2.0, 1, 1), 1);  // the value is spent at (1,3)
  EXPECT_EQ(net.wet, (std::vector<double>{2.0, 1.0, 0.0, 0.0, 0.0}));
}

TEST(WetspreadCycles, PositiveCostsAroundACycleAreRefusedAsWell) {
  // Water cannot run in a circle; a walk that comes round to a cell it is
  // still inside of has met a broken network whatever the costs.
  Net net(1, 2, 1.0);
  net.Dir(1, 1) = E;
  net.Dir(1, 2) = W;
  EXPECT_EQ(net.Spread(100.0, 1, 1), -249);
}

// Random direction grids are full of cycles, junctions and dead ends, so
// cells get written more than once and the write order shows in the result.
TEST(WetspreadOracle, MatchesPlainRecursionCellForCellOnRandomNetworks) {
  std::mt19937 rng(2024);
  const int codes[] = {E, SE, S, SW, W, NW, N, NE, E, S, W, N, 0, -1, 3, 255};
  std::uniform_int_distribution<int> code(0, 15);
  std::uniform_real_distribution<double> cost(-0.2, 2.0);
  std::bernoulli_distribution wet_start(0.1);
  int cycles = 0, done = 0;
  for (int trial = 0; trial < 400; ++trial) {
    const int rows = 1 + trial % 9, cols = 1 + (trial / 9) % 11;
    Net net(rows, cols);
    for (int& d : net.dir) d = codes[code(rng)];
    for (double& c : net.cost) c = cost(rng);
    for (double& w : net.wet) w = wet_start(rng) ? 0.5 : 0.0;
    const int r = 1 + trial % rows, c = 1 + (trial * 7) % cols;
    const double value = 1.0 + trial % 13;
    Net expected = net;
    const int want = RecursiveOracle(expected).Run(value, r, c);
    ASSERT_EQ(net.Spread(value, r, c), want) << "trial " << trial;
    ASSERT_EQ(net.wet, expected.wet) << "trial " << trial;
    (want == 1 ? done : cycles)++;
  }
  // Both outcomes were exercised.
  EXPECT_GT(cycles, 20);
  EXPECT_GT(done, 20);
}

TEST(WetspreadOracle, MatchesOnAcyclicTreesWithMixedCosts) {
  // Directions that always point to an earlier cell in storage order (N, NW,
  // NE, W) make a forest, so every walk ends without a cycle.
  std::mt19937 rng(99);
  const int back[] = {N, NW, NE, W};
  std::uniform_int_distribution<int> pick(0, 3);
  std::uniform_real_distribution<double> cost(0.0, 0.6);
  for (int trial = 0; trial < 50; ++trial) {
    Net net(12, 15);
    for (int& d : net.dir) d = back[pick(rng)];
    for (double& c : net.cost) c = cost(rng);
    Net expected = net;
    const int r = 12 - trial % 5, c = 1 + trial % 15;
    ASSERT_EQ(RecursiveOracle(expected).Run(6.0, r, c), 1);
    ASSERT_EQ(net.Spread(6.0, r, c), 1);
    ASSERT_EQ(net.wet, expected.wet) << "trial " << trial;
  }
}

// One channel that snakes through every cell: row 1 east, down, row 2 west,
// down, ... ; the last cell drains out of the matrix.
Net Snake(int rows, int cols, double cost) {
  Net net(rows, cols, cost);
  for (int r = 1; r <= rows; ++r)
    for (int c = 1; c <= cols; ++c) {
      const bool east = r % 2 == 1;
      const bool turn = east ? c == cols : c == 1;
      net.Dir(r, c) = turn && r < rows ? S : (east ? E : W);
    }
  return net;
}

// The snake's cells in flow order.
std::vector<int> SnakeOrder(int rows, int cols) {
  std::vector<int> order;
  for (int r = 0; r < rows; ++r)
    for (int k = 0; k < cols; ++k) order.push_back(r * cols + (r % 2 == 0 ? k : cols - 1 - k));
  return order;
}

TEST(WetspreadDeep, FourMillionCellsDownOneSnakingChannel) {
  const int n = 2000;
  Net net = Snake(n, n, 1e-7);
  ASSERT_EQ(net.Spread(1.0, 1, 1), 1);
  double x = 1.0;
  const std::vector<int> order = SnakeOrder(n, n);
  for (size_t k = 0; k < order.size(); ++k) {
    if (k > 0) x -= 1e-7;
    ASSERT_EQ(net.wet[order[k]], x) << "cell " << k << " of the path";
  }
}

TEST(WetspreadDeep, FourMillionCellsUpOneSnakingChannelFromItsOutlet) {
  const int n = 2000;
  Net net = Snake(n, n, 0.0);
  // The outlet (row n, column 1: n is even) drains out; everything else is
  // upstream of it along one chain.
  ASSERT_EQ(net.Spread(2.0, n, 1), 1);
  for (double v : net.wet) ASSERT_EQ(v, 2.0);
}

TEST(WetspreadDeep, ExhaustedMemoryReturnsItsCodeWithTheCellsWrittenSoFar) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#endif
  EXPECT_EXIT(
      {
        const int n = 2000;
        Net net = Snake(n, n, 0.0);
        // The walk needs some 64 MB of its own for this path; allow 8 MB.
        std::ifstream statm("/proc/self/statm");
        long pages = 0;
        statm >> pages;
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = pages * sysconf(_SC_PAGESIZE) + 8L * 1024 * 1024;
        setrlimit(RLIMIT_AS, &limit);
        const int code = net.Spread(1.0, 1, 1);
        const bool partial = net.Wet(1, 1) == 1.0 && net.Wet(n, 1) == 0.0;
        std::_Exit(code == -240 && partial ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

class WetspreadLog : public ::testing::Test {
 protected:
  WetspreadLog() : cwd_(dir_.path()) { mirl::session::OpenSessionLog(); }
  ~WetspreadLog() override { mirl::session::CloseSession(); }
  std::string Log() const { return ReadFile(dir_.file("mirl_lib_log.txt")); }
  mirl_test::TempDir dir_;
  mirl_test::ScopedCwd cwd_;
};

TEST_F(WetspreadLog, ArgumentFailuresAndCyclesGetAResultLineSuccessDoesNot) {
  Net net(1, 2, 0.0);
  net.Dir(1, 1) = E;
  net.Dir(1, 2) = E;
  EXPECT_EQ(net.Spread(1.0, 1, 1), 1);
  EXPECT_EQ(net.Spread(1.0, 1, 3), -243);
  net.Dir(1, 2) = W;
  EXPECT_EQ(net.Spread(1.0, 1, 1), -249);
  const std::string log = Log();
  std::istringstream lines(log);
  std::vector<std::string> texts;
  for (std::string line; std::getline(lines, line);)
    texts.push_back(line.substr(line.find(" | ") + 3));
  EXPECT_EQ(texts,
            (std::vector<std::string>{"Entering wetspread", "Entering wetspread",
                                      "wetspread returned with code: -243", "Entering wetspread",
                                      "wetspread returned with code: -249"}))
      << log;
}

TEST(WetspreadTwin, RTwinPassesEveryArgumentAndStoresTheCode) {
  mirl_test::LoadedLibrary lib;
  using Twin = int (*)(int*, double*, int*, int*, int*, int*, double*, int*, double*);
  auto R_wetspread = lib.find<Twin>("R_wetspread");
  ASSERT_NE(R_wetspread, nullptr);
  Net net(2, 3, 0.5);
  net.Dir(2, 1) = E;
  net.Dir(2, 2) = E;
  net.Dir(2, 3) = NW;
  int result = 0, row = 2, col = 1, nrows = 2, ncols = 3;
  double value = 2.0;
  EXPECT_EQ(R_wetspread(&result, &value, &row, &col, &nrows, &ncols, net.cost.data(),
                        net.dir.data(), net.wet.data()),
            1);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(net.wet, (std::vector<double>{0, 0, 0, 2.0, 1.5, 1.0}));
  col = 4;
  EXPECT_EQ(R_wetspread(&result, &value, &row, &col, &nrows, &ncols, net.cost.data(),
                        net.dir.data(), net.wet.data()),
            -243);
  EXPECT_EQ(result, -243);
}

}  // namespace
