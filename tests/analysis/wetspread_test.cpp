#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/matrix_view.h"
#include "analysis/wetspread.h"
#include "exports/analysis_grid_api.h"
#include "session/session_record.h"
#include "support/address_limit.h"
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
// traversals. A cycle is walked round like any other path, lap after lap.
// The walk gives up (-249) when a traversal re-enters a cell that the same
// kind of traversal is still inside of with a value not below the one the
// cell had at its latest presence there, or when it would enter more than
// `limit` cells in all. It also counts what happened, so that tests can tell
// which cases their inputs exercised.
class RecursiveOracle {
 public:
  RecursiveOracle(Net& net, long limit)
      : net_(net), limit_(limit), down_(net.dir.size(), kAbsent), up_(net.dir.size(), kAbsent) {
    for (int i = 0; i < 8; ++i) from_[i] = to_[(i + 4) % 8];
  }
  int Run(double value, int r, int c) {
    if (net_.Dir(r, c) == 0) return 1;
    Down(r - 1, c - 1, value);
    return stopped_ ? -249 : 1;
  }
  long entered() const { return entered_; }
  bool hit_limit() const { return hit_limit_; }
  long down_laps() const { return down_laps_; }
  long up_laps() const { return up_laps_; }
  bool refused_down() const { return refused_down_; }
  bool refused_up() const { return refused_up_; }
  // The refused value was equal to the earlier one (zero cost sum, or costs
  // lost in rounding) rather than larger (negative cost sum).
  bool refused_equal() const { return refused_equal_; }

 private:
  static constexpr double kAbsent = -1.0;  // values on a path are > 0

  int Index(int r, int c) const { return r * net_.cols + c; }
  bool Outside(int r, int c) const { return r < 0 || c < 0 || r >= net_.rows || c >= net_.cols; }
  // Whether the walk may enter a cell whose latest value on this kind of
  // path is `latest` (kAbsent when it is not on it).
  bool Admit(double latest, double x, bool down) {
    if (entered_ == limit_) {
      hit_limit_ = stopped_ = true;
      return false;
    }
    if (latest == kAbsent) return true;
    if (!(x < latest)) {
      stopped_ = true;
      (down ? refused_down_ : refused_up_) = true;
      refused_equal_ = x == latest;
      return false;
    }
    ++(down ? down_laps_ : up_laps_);
    return true;
  }
  void Down(int r, int c, double x) {
    const int at = Index(r, c);
    if (!(x > 0) || net_.dir[at] <= 0) return;
    if (!Admit(down_[at], x, true)) return;
    const double outer = down_[at];
    down_[at] = x;
    net_.wet[at] = x;
    ++entered_;
    for (int i = 0; i < 8 && !stopped_; ++i) {
      const int nr = r + dr_[i], nc = c + dc_[i];
      if (Outside(nr, nc)) continue;
      const int n = Index(nr, nc);
      if (net_.dir[at] == to_[i])
        Down(nr, nc, x - net_.cost[n]);
      else if (net_.wet[n] == 0 && net_.dir[n] == from_[i])
        Up(nr, nc, x - net_.cost[n]);
    }
    down_[at] = outer;
  }
  void Up(int r, int c, double x) {
    const int at = Index(r, c);
    if (!(x > 0) || net_.dir[at] <= 0) return;
    if (!Admit(up_[at], x, false)) return;
    const double outer = up_[at];
    up_[at] = x;
    net_.wet[at] = x;
    ++entered_;
    for (int i = 0; i < 8 && !stopped_; ++i) {
      const int nr = r + dr_[i], nc = c + dc_[i];
      if (Outside(nr, nc)) continue;
      if (net_.dir[Index(nr, nc)] == from_[i]) Up(nr, nc, x - net_.cost[Index(nr, nc)]);
    }
    up_[at] = outer;
  }

  Net& net_;
  const long limit_;
  // Per cell, its value at its latest presence on the downstream path and
  // on the upstream chain being walked.
  std::vector<double> down_, up_;
  long entered_ = 0;
  bool stopped_ = false, hit_limit_ = false;
  long down_laps_ = 0, up_laps_ = 0;
  bool refused_down_ = false, refused_up_ = false, refused_equal_ = false;
  const int dr_[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
  const int dc_[8] = {0, 1, 1, 1, 0, -1, -1, -1};
  const int to_[8] = {N, NE, E, SE, S, SW, W, NW};
  int from_[8];
};

// The library's walker on a network, with a step limit of the test's choice.
struct Walked {
  int code;
  long entered;
};
Walked SpreadWithLimit(Net& net, double value, int r, int c, std::size_t limit) {
  using mirl::analysis::CMatrixView;
  using mirl::analysis::CWetSpreader;
  if (net.Dir(r, c) == 0) return {1, 0};
  CMatrixView<const double> cost(net.cost.data(), -1.0, net.rows, net.cols, 1, 1);
  CMatrixView<const int32_t> dir(net.dir.data(), -1, net.rows, net.cols, 1, 1);
  mirl::analysis::CMatrixViewDbl wet(net.wet.data(), -1.0, net.rows, net.cols, 1, 1);
  CWetSpreader spreader(cost, dir, wet, limit);
  const int code = spreader.Run(r, c, value) == CWetSpreader::Outcome::kDone ? 1 : -249;
  return {code, static_cast<long>(spreader.entered())};
}

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

// A pit of two cells draining into each other, (1,1) east and (1,2) west,
// with the source at (1,1).
Net TwoCellPit(double cost11, double cost12) {
  Net net(1, 2);
  net.Dir(1, 1) = E;
  net.Dir(1, 2) = W;
  net.Cost(1, 1) = cost11;
  net.Cost(1, 2) = cost12;
  return net;
}

TEST(WetspreadCycles, TwoCellPitIsWalkedRoundUntilTheValueIsSpent) {
  // From 10, each lap charges 2 on entering (1,2) and 1 on re-entering (1,1):
  // (1,1) 10, (1,2) 8, (1,1) 7, (1,2) 5, (1,1) 4, (1,2) 2, (1,1) 1, and
  // (1,2) would get -1. The last lap's values stay.
  Net net = TwoCellPit(1.0, 2.0);
  EXPECT_EQ(net.Spread(10.0, 1, 1), 1);
  EXPECT_EQ(net.wet, (std::vector<double>{1.0, 2.0}));
  // From 9 it is (1,1) that is spent: (1,1) 9, (1,2) 7, (1,1) 6, (1,2) 4,
  // (1,1) 3, (1,2) 1, and (1,1) would get 0.
  net.wet.assign(2, 0.0);
  EXPECT_EQ(net.Spread(9.0, 1, 1), 1);
  EXPECT_EQ(net.wet, (std::vector<double>{3.0, 1.0}));
}

TEST(WetspreadCycles, PitFedByAChannelWetsItsTributaryOnTheLastLap) {
  // (1,1) drains east into the pit (1,2) <-> (1,3); (2,2) drains north into
  // (1,2). Costs: (1,2) 1, (1,3) 2, (2,2) 0.5.
  //   down (1,1) 6, down (1,2) 5, down (1,3) 3 (east comes before south at
  //   (1,2)), down (1,2) 2, down (1,3) would get 0: stop. Back at (1,2) on
  //   its second presence, south: (2,2) is dry, up (2,2) 2 - 0.5 = 1.5.
  //   Back at the first presence of (1,2), (2,2) is wet and is not entered
  //   again, so it keeps 1.5 (not 5 - 0.5 = 4.5).
  Net net(2, 3, 0.0);
  net.Dir(1, 1) = E;
  net.Dir(1, 2) = E;
  net.Dir(1, 3) = W;
  net.Dir(2, 2) = N;
  net.Cost(1, 2) = 1.0;
  net.Cost(1, 3) = 2.0;
  net.Cost(2, 2) = 0.5;
  EXPECT_EQ(net.Spread(6.0, 1, 1), 1);
  EXPECT_EQ(net.wet, (std::vector<double>{6.0, 2.0, 3.0, 0.0, 1.5, 0.0}));
}

// The ring (1,1) E -> (1,2) S -> (2,2) W -> (2,1) N -> (1,1), with the
// source (1,3) draining west into it at (1,2). The cost of (2,2), 10, stops
// the downstream path there at once; (1,1) drains into the path cell (1,2)
// and is dry, so the walk goes up into it, and its negative cost carries the
// upstream walk round the ring against the flow.
Net RingWithSource(double cost11) {
  Net net(2, 3, 0.0);
  net.Dir(1, 3) = W;
  net.Dir(1, 1) = E;
  net.Dir(1, 2) = S;
  net.Dir(2, 2) = W;
  net.Dir(2, 1) = N;
  net.Cost(2, 2) = 10.0;
  net.Cost(1, 1) = cost11;
  return net;
}

TEST(WetspreadCycles, UpstreamWalkLapsARingAgainstTheFlow) {
  // With cost -9 at (1,1) a lap up the ring costs 1:
  //   down (1,3) 5, down (1,2) 5, down (2,2) would get -5;
  //   up (1,1) 14, up (2,1) 14, up (2,2) 4, up (1,2) 4, up (1,3) 4 (the
  //   source drains into (1,2); the upstream walk overwrites it), up (1,1)
  //   13 < 14: the next lap, and so on, one less each lap:
  //   lap 3: (1,1) 11, (2,1) 11, (2,2) 1, (1,2) 1, (1,3) 1;
  //   lap 4: (1,1) 10, (2,1) 10, and (2,2) would get 0.
  Net net = RingWithSource(-9.0);
  EXPECT_EQ(net.Spread(5.0, 1, 3), 1);
  EXPECT_EQ(net.wet, (std::vector<double>{10.0, 1.0, 1.0, 10.0, 1.0, 0.0}));
}

TEST(WetspreadCycles, UpstreamRingWhoseCostsSumToZeroIsRefused) {
  // With cost -10 at (1,1) the first lap up the ring writes (1,1) 15,
  // (2,1) 15, (2,2) 5, (1,2) 5, (1,3) 5, and then (1,1) would be entered
  // with 15 again: refused, the cells written so far stay.
  Net net = RingWithSource(-10.0);
  EXPECT_EQ(net.Spread(5.0, 1, 3), -249);
  EXPECT_EQ(net.wet, (std::vector<double>{15.0, 5.0, 5.0, 15.0, 5.0, 0.0}));
}

TEST(WetspreadCycles, ZeroOrNegativeCostSumsAroundAPitAreRefusedBeforeTheRepeat) {
  // (1,1) drains east into the pit (1,2) <-> (1,3); source value 5.
  struct Case {
    double cost12, cost13;
    std::vector<double> wet;
  };
  const Case cases[] = {
      // (1,2) 5, (1,3) 5, then (1,2) 5 again: not smaller.
      {0.0, 0.0, {5.0, 5.0, 5.0}},
      // (1,2) 4, (1,3) 5, then (1,2) 4 again.
      {1.0, -1.0, {5.0, 4.0, 5.0}},
      // (1,2) 4, (1,3) 6, then (1,2) would rise to 5: refused, not written.
      {1.0, -2.0, {5.0, 4.0, 6.0}},
  };
  for (const Case& k : cases) {
    Net net(1, 3);
    net.Dir(1, 1) = E;
    net.Dir(1, 2) = E;
    net.Dir(1, 3) = W;
    net.Cost(1, 2) = k.cost12;
    net.Cost(1, 3) = k.cost13;
    EXPECT_EQ(net.Spread(5.0, 1, 1), -249) << k.cost12 << " " << k.cost13;
    EXPECT_EQ(net.wet, k.wet) << k.cost12 << " " << k.cost13;
  }
}

TEST(WetspreadCycles, TinyCostsThatVanishInRoundingAreRefusedAfterOneLap) {
  // 1 - 1e-300 is 1: the ring comes back to (1,1) with all it had.
  Net net(2, 2, 1e-300);
  net.Dir(1, 1) = E;
  net.Dir(1, 2) = S;
  net.Dir(2, 2) = W;
  net.Dir(2, 1) = N;
  EXPECT_EQ(net.Spread(1.0, 1, 1), -249);
  EXPECT_EQ(net.wet, (std::vector<double>(4, 1.0)));
}

// The step limit of a 1 x 2 grid: twice the cells plus 2^22.
constexpr long kPitStepLimit = 2 * 2 + (1L << 22);

TEST(WetspreadCycles, TinyPositiveCostsStopAtTheStepLimit) {
  // Each entry costs 2^-30, so entry k (counting the source as 0) gets
  // exactly 1 - k 2^-30; the value would last 2^30 entries, far beyond the
  // limit. Entries alternate (1,1), (1,2); the last one allowed is
  // k = limit - 1, which is odd.
  const double step = std::ldexp(1.0, -30);
  Net net = TwoCellPit(step, step);
  EXPECT_EQ(net.Spread(1.0, 1, 1), -249);
  EXPECT_EQ(net.Wet(1, 2), 1.0 - (kPitStepLimit - 1) * step);
  EXPECT_EQ(net.Wet(1, 1), 1.0 - (kPitStepLimit - 2) * step);
}

TEST(WetspreadCycles, AWalkMayUseTheWholeStepLimitButNotOneStepMore) {
  // Cost 1 each: from value v the walk enters v cells, v, v - 1, ..., 1.
  Net net = TwoCellPit(1.0, 1.0);
  EXPECT_EQ(net.Spread(static_cast<double>(kPitStepLimit), 1, 1), 1);
  // Entry limit - 1 (odd, at (1,2)) got 1, the one before it 2.
  EXPECT_EQ(net.wet, (std::vector<double>{2.0, 1.0}));
  net.wet.assign(2, 0.0);
  EXPECT_EQ(net.Spread(static_cast<double>(kPitStepLimit + 1), 1, 1), -249);
  // The same entries, one higher each; the entry that would get 1 is refused.
  EXPECT_EQ(net.wet, (std::vector<double>{3.0, 2.0}));
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

TEST(WetspreadCycles, HugeDimensionsFailAsAnAllocationBeforeAnyCellIsTouched) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer aborts on an allocation this size instead of failing it";
#endif
  // The caller claims INT_MAX x INT_MAX cells; the walk's bookkeeping for
  // that many cannot be had, so nothing beyond the source is ever read.
  double cost = 1.0, wet = 0.0;
  int dir = E;
  EXPECT_EQ(wetspread(1.0, 1, 1, INT_MAX, INT_MAX, &cost, &dir, &wet), -240);
  EXPECT_EQ(wet, 0.0);
}

// Random networks, most with a planted cycle whose cells all cost the same
// kind: positive, zero, negative or mixed, tiny enough to need more laps
// than the limit allows, or small enough to vanish in rounding. A planted
// ring is longer than two cells, so that upstream walks can go round it;
// sometimes the source sits on it.
class WetspreadOracle : public ::testing::Test {
 protected:
  static constexpr long kLimit = 3000;

  struct Trial {
    Net net;
    double value;
    int row, col;
  };

  Trial RandomTrial(int trial) {
    const int codes[] = {E, SE, S, SW, W, NW, N, NE, E, S, W, N, 0, -1, 3, 255};
    std::uniform_int_distribution<int> code(0, 15);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::bernoulli_distribution wet_start(0.1);
    const int rows = 1 + trial % 7, cols = 1 + (trial / 7) % 8;
    Trial t{Net(rows, cols), 1.0 + trial % 13, 1 + (trial * 3) % rows, 1 + (trial * 7) % cols};
    Net& net = t.net;
    for (int& d : net.dir) d = codes[code(rng_)];
    for (double& c : net.cost) c = 2.0 * unit(rng_) - 0.2;
    const int regime = (trial / 4) % 5;
    auto cycle_cost = [&]() {
      switch (regime) {
        case 0:  // positive
          return 0.05 + unit(rng_);
        case 1:  // zero
          return 0.0;
        case 2:  // mostly negative, some positive
          return unit(rng_) - 0.8;
        case 3:  // positive, but more laps than the limit allows
          return 0.001;
        default:  // lost in rounding
          return 1e-18;
      }
    };
    std::uniform_int_distribution<int> rr(1, rows), cc(1, cols);
    const int shape = trial % 4;
    if (shape == 2 && cols >= 2) {
      const int r = rr(rng_), c = std::uniform_int_distribution<int>(1, cols - 1)(rng_);
      net.Dir(r, c) = E;
      net.Dir(r, c + 1) = W;
      net.Cost(r, c) = cycle_cost();
      net.Cost(r, c + 1) = cycle_cost();
    } else if ((shape == 1 || shape == 3) && rows >= 2 && cols >= 2) {
      // Round the rectangle from (r0, c0) to (r1, c1), either way: which way
      // decides whether a cell's downstream neighbour or the ring cell
      // draining into it comes first in the clockwise order of neighbours.
      const int r0 = std::uniform_int_distribution<int>(1, rows - 1)(rng_);
      const int c0 = std::uniform_int_distribution<int>(1, cols - 1)(rng_);
      const int r1 = std::uniform_int_distribution<int>(r0 + 1, rows)(rng_);
      const int c1 = std::uniform_int_distribution<int>(c0 + 1, cols)(rng_);
      const bool clockwise = (trial / 20) % 2 == 0;
      auto plant = [&](int r, int c, int d) {
        net.Dir(r, c) = d;
        net.Cost(r, c) = cycle_cost();
      };
      for (int c = c0; c <= c1; ++c) plant(r0, c, clockwise ? (c < c1 ? E : S) : (c > c0 ? W : S));
      for (int r = r0 + 1; r <= r1; ++r) {
        plant(r, c1, clockwise ? (r < r1 ? S : W) : N);
        plant(r, c0, clockwise ? N : (r < r1 ? S : E));
      }
      for (int c = c0 + 1; c < c1; ++c) plant(r1, c, clockwise ? W : E);
      if (shape == 3) {
        t.row = r0;
        t.col = std::uniform_int_distribution<int>(c0, c1)(rng_);
      }
    }
    for (double& w : net.wet) w = wet_start(rng_) ? 0.5 : 0.0;
    return t;
  }

  std::mt19937 rng_{2024};
};

TEST_F(WetspreadOracle, MatchesPlainRecursionCellForCellOnRandomNetworks) {
  int plain = 0, down_laps = 0, up_laps = 0, refused_down = 0, refused_up = 0;
  int refused_equal = 0, refused_rising = 0, at_limit = 0;
  for (int trial = 0; trial < 1500; ++trial) {
    const Trial t = RandomTrial(trial);
    Net expected = t.net;
    RecursiveOracle oracle(expected, kLimit);
    const int want = oracle.Run(t.value, t.row, t.col);
    Net limited = t.net;
    const Walked got = SpreadWithLimit(limited, t.value, t.row, t.col, kLimit);
    ASSERT_EQ(got.code, want) << "trial " << trial;
    // Going on round a cycle the rule refuses would repeat the same values;
    // only the count of entries shows it.
    ASSERT_EQ(got.entered, oracle.entered()) << "trial " << trial;
    ASSERT_EQ(limited.wet, expected.wet) << "trial " << trial;
    if (!oracle.hit_limit()) {
      // Under the export's own, larger limit the walk ends the same way.
      Net net = t.net;
      ASSERT_EQ(net.Spread(t.value, t.row, t.col), want) << "trial " << trial;
      ASSERT_EQ(net.wet, expected.wet) << "trial " << trial;
    }
    if (want == 1) {
      if (oracle.down_laps() == 0 && oracle.up_laps() == 0) ++plain;
      if (oracle.down_laps() > 0) ++down_laps;
      if (oracle.up_laps() > 0) ++up_laps;
    } else if (oracle.hit_limit()) {
      ++at_limit;
    } else {
      (oracle.refused_down() ? refused_down : refused_up)++;
      (oracle.refused_equal() ? refused_equal : refused_rising)++;
    }
  }
  // Every kind of ending was exercised: walks without laps, positive-cost
  // laps on a downstream path and on an upstream chain, refusals of either
  // kind, by an equal and by a rising value, and by the step limit.
  EXPECT_GT(plain, 50);
  EXPECT_GT(down_laps, 20);
  EXPECT_GT(up_laps, 20);
  EXPECT_GT(refused_down, 20);
  EXPECT_GT(refused_up, 20);
  EXPECT_GT(refused_equal, 20);
  EXPECT_GT(refused_rising, 20);
  EXPECT_GT(at_limit, 20);
}

TEST_F(WetspreadOracle, WritesComeInTheRecursionsOrderOneByOne) {
  // Stopping both walks after k cells, for every k, compares the whole
  // sequence of writes, not only where they end up.
  long compared = 0, laps = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const Trial t = RandomTrial(trial);
    Net full = t.net;
    RecursiveOracle whole(full, 400);
    whole.Run(t.value, t.row, t.col);
    laps += whole.down_laps() + whole.up_laps();
    for (long k = 0; k <= whole.entered(); ++k) {
      Net expected = t.net, limited = t.net;
      const int want = RecursiveOracle(expected, k).Run(t.value, t.row, t.col);
      ASSERT_EQ(SpreadWithLimit(limited, t.value, t.row, t.col, static_cast<std::size_t>(k)).code,
                want)
          << "trial " << trial << " after " << k;
      ASSERT_EQ(limited.wet, expected.wet) << "trial " << trial << " after " << k;
      ++compared;
    }
  }
  EXPECT_GT(compared, 5000);
  EXPECT_GT(laps, 1000);
}

TEST(WetspreadAcyclic, MatchesTheRecursionOnTreesWithMixedCosts) {
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
    RecursiveOracle oracle(expected, 1L << 20);
    ASSERT_EQ(oracle.Run(6.0, r, c), 1);
    // Without cycles no cell is entered twice.
    ASSERT_LE(oracle.entered(), 12 * 15);
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

// One cycle through every cell of an n x n grid (n even): (1,1) east along
// row 1, then rows 2..n snake through columns 2..n, row n runs west into
// (n,1), and column 1 runs north back to (1,1). Returns the cells in flow
// order from (1,1).
std::vector<int> PlantRing(Net& net) {
  const int n = net.rows;
  std::vector<int> order;
  for (int r = 1; r <= n; ++r) {
    const bool east = r % 2 == 1;
    for (int k = 0; k < n - 1; ++k) {
      const int c = east ? 2 + k : n - k;
      const bool turn = k == n - 2;
      net.Dir(r, c) = turn ? (r < n ? S : W) : (east ? E : W);
      order.push_back((r - 1) * n + (c - 1));
    }
  }
  for (int r = n; r >= 2; --r) {
    net.Dir(r, 1) = N;
    order.push_back((r - 1) * n);
  }
  net.Dir(1, 1) = E;
  order.insert(order.begin(), 0);
  return order;
}

TEST(WetspreadDeep, FourMillionCellRingWalkedRoundOneAndAHalfTimes) {
  // Cost 1 per cell from 6,000,000: entry k, the cell k places along the
  // ring (mod its length L), gets 6,000,000 - k, down to 1. The first
  // 2,000,000 cells keep their second lap's value, the rest their first.
  const int n = 2000;
  Net net(n, n, 1.0);
  const std::vector<int> order = PlantRing(net);
  const long ring = static_cast<long>(order.size());
  ASSERT_EQ(ring, static_cast<long>(n) * n);
  const double value = 6e6;
  ASSERT_EQ(net.Spread(value, 1, 1), 1);
  for (long p = 0; p < ring; ++p) {
    const long last = p + ring < value ? p + ring : p;
    ASSERT_EQ(net.wet[order[p]], value - last) << "ring cell " << p;
  }
}

TEST(WetspreadDeep, ExhaustedMemoryReturnsItsCodeWithTheCellsWrittenSoFar) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#endif
  if (!mirl_test::CanLimitAddressSpace()) GTEST_SKIP() << "no address-space limit here";
  EXPECT_EXIT(
      {
        const int n = 2000;
        Net net = Snake(n, n, 0.0);
        // The walk needs some 64 MB of its own for this path; allow 8 MB.
        mirl_test::LimitAddressSpace(std::size_t{8} << 20);
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

TEST_F(WetspreadLog, ArgumentFailuresAndEndlessWalksGetAResultLineSuccessDoesNot) {
  Net net(1, 2, 0.0);
  net.Dir(1, 1) = E;
  net.Dir(1, 2) = E;
  EXPECT_EQ(net.Spread(1.0, 1, 1), 1);
  EXPECT_EQ(net.Spread(1.0, 1, 3), -243);
  net.Dir(1, 2) = W;
  EXPECT_EQ(net.Spread(1.0, 1, 1), -249);
  net.cost.assign(2, 0.25);  // a pit that is walked round to its end
  EXPECT_EQ(net.Spread(1.0, 1, 1), 1);
  const std::string log = Log();
  std::istringstream lines(log);
  std::vector<std::string> texts;
  for (std::string line; std::getline(lines, line);)
    texts.push_back(line.substr(line.find(" | ") + 3));
  EXPECT_EQ(texts,
            (std::vector<std::string>{"Entering wetspread", "Entering wetspread",
                                      "wetspread returned with code: -243", "Entering wetspread",
                                      "wetspread returned with code: -249", "Entering wetspread"}))
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
