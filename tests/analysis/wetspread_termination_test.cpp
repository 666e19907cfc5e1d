// The wet spreader refuses exactly the walks that never end or pass its step
// limit: compared with the plain recursion of the two traversals, run
// without any guard but an entry budget equal to that limit, on random
// direction grids (full of short cycles) with costs of both signs.
//  - the recursion ends within the limit: the spreader is done, with the same
//    wetness cell for cell;
//  - the recursion goes past the limit: the spreader refuses.
// The recursion runs on a thread with a large stack, since a walk that never
// ends goes as deep as the budget.
#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdint>
#include <random>
#include <vector>

#include "analysis/matrix_view.h"
#include "analysis/wetspread.h"

namespace {

struct Grid {
  int rows, cols;
  std::vector<double> cost;
  std::vector<int> dir;
  std::vector<double> wet;
};

// The recursion exactly as the two traversals are described; counts the
// cells it enters and gives up past `budget`.
class Plain {
 public:
  Plain(Grid& g, long budget) : g_(g), budget_(budget) {}
  long entered = 0;
  bool exhausted = false;

  void Down(int r, int c, double x) {
    if (exhausted) return;
    if (!(x > 0) || Dir(r, c) <= 0) return;
    if (++entered > budget_) {
      exhausted = true;
      return;
    }
    Wet(r, c) = x;
    for (int i = 0; i < 8 && !exhausted; ++i) {
      const int nr = r + kDr[i], nc = c + kDc[i];
      if (nr < 0 || nc < 0 || nr >= g_.rows || nc >= g_.cols) continue;
      if (Dir(r, c) == kTo[i])
        Down(nr, nc, x - Cost(nr, nc));
      else if (Wet(nr, nc) == 0 && Dir(nr, nc) == kFrom[i])
        Up(nr, nc, x - Cost(nr, nc));
    }
  }
  void Up(int r, int c, double x) {
    if (exhausted) return;
    if (!(x > 0) || Dir(r, c) <= 0) return;
    if (++entered > budget_) {
      exhausted = true;
      return;
    }
    Wet(r, c) = x;
    for (int i = 0; i < 8 && !exhausted; ++i) {
      const int nr = r + kDr[i], nc = c + kDc[i];
      if (nr < 0 || nc < 0 || nr >= g_.rows || nc >= g_.cols) continue;
      if (Dir(nr, nc) == kFrom[i]) Up(nr, nc, x - Cost(nr, nc));
    }
  }

 private:
  int& Dir(int r, int c) { return g_.dir[r * g_.cols + c]; }
  double& Cost(int r, int c) { return g_.cost[r * g_.cols + c]; }
  double& Wet(int r, int c) { return g_.wet[r * g_.cols + c]; }
  static constexpr int kDr[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
  static constexpr int kDc[8] = {0, 1, 1, 1, 0, -1, -1, -1};
  static constexpr int kTo[8] = {64, 128, 1, 2, 4, 8, 16, 32};
  static constexpr int kFrom[8] = {4, 8, 16, 32, 64, 128, 1, 2};
  Grid& g_;
  long budget_;
};

struct PlainRun {
  Grid* grid;
  int row, col;  // 1-based
  double value;
  long budget;
  long entered;
  bool exhausted;
};

void* RunPlain(void* arg) {
  PlainRun* run = static_cast<PlainRun*>(arg);
  Plain plain(*run->grid, run->budget);
  if (run->grid->dir[(run->row - 1) * run->grid->cols + (run->col - 1)] != 0)
    plain.Down(run->row - 1, run->col - 1, run->value);
  run->entered = plain.entered;
  run->exhausted = plain.exhausted;
  return nullptr;
}

// Runs the recursion on a thread with a 256 MiB stack (reserved, touched only
// as deep as the walk goes).
void OnBigStack(PlainRun* run) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, std::size_t{1} << 28);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attr, RunPlain, run), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

// The library's spreader with a step limit of the test's choice: 1 done,
// -249 refused.
int Spread(Grid& g, double value, int row, int col, long limit) {
  using mirl::analysis::CMatrixView;
  using mirl::analysis::CWetSpreader;
  if (g.dir[(row - 1) * g.cols + (col - 1)] == 0) return 1;
  CMatrixView<const double> cost(g.cost.data(), -1.0, g.rows, g.cols, 1, 1);
  CMatrixView<const int32_t> dir(g.dir.data(), -1, g.rows, g.cols, 1, 1);
  mirl::analysis::CMatrixViewDbl wet(g.wet.data(), -1.0, g.rows, g.cols, 1, 1);
  CWetSpreader spreader(cost, dir, wet, static_cast<std::size_t>(limit));
  return spreader.Run(row, col, value) == CWetSpreader::Outcome::kDone ? 1 : -249;
}

TEST(WetspreadTermination, RefusesExactlyTheWalksThatNeverEnd) {
  std::mt19937 rng(4242);
  const int codes[] = {1, 2, 4, 8, 16, 32, 64, 128, 0, 7};
  std::uniform_int_distribution<int> code(0, 9);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int ended = 0, endless = 0, refused = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    Grid g;
    g.rows = 2 + trial % 6;
    g.cols = 2 + (trial / 6) % 6;
    const int n = g.rows * g.cols;
    g.dir.resize(n);
    g.cost.resize(n);
    g.wet.assign(n, 0.0);
    // A few cells wet already: their tributaries are not entered from a path.
    for (double& w : g.wet) w = unit(rng) < 0.1 ? 0.5 : 0.0;
    const int regime = trial % 4;
    for (int i = 0; i < n; ++i) {
      g.dir[i] = codes[code(rng)];
      switch (regime) {
        case 0:  // positive: every walk ends
          g.cost[i] = 0.2 + unit(rng);
          break;
        case 1:  // some zero costs
          g.cost[i] = unit(rng) < 0.3 ? 0.0 : 0.2 + unit(rng);
          break;
        case 2:  // both signs
          g.cost[i] = 1.6 * unit(rng) - 0.5;
          break;
        default:  // small positive: many laps
          g.cost[i] = 0.004 + 0.01 * unit(rng);
          break;
      }
    }
    if (regime == 1 || regime == 2) {
      // A pit of two cells that point at each other, costing nothing in
      // all, in the middle of the random network.
      const int r = static_cast<int>(rng() % g.rows), c = static_cast<int>(rng() % (g.cols - 1));
      g.dir[r * g.cols + c] = 1;
      g.dir[r * g.cols + c + 1] = 16;
      const double a = regime == 1 ? 0.0 : unit(rng) - 0.5;
      g.cost[r * g.cols + c] = a;
      g.cost[r * g.cols + c + 1] = -a;
    }
    const int row = 1 + static_cast<int>(rng() % g.rows);
    const int col = 1 + static_cast<int>(rng() % g.cols);
    const double value = 1.0 + (trial % 9);

    Grid expected = g;
    const long limit = 20000;
    PlainRun run{&expected, row, col, value, limit, 0, false};
    OnBigStack(&run);
    Grid got = g;
    const int code_got = Spread(got, value, row, col, limit);
    if (code_got == -249) ++refused;
    if (!run.exhausted) {
      ++ended;
      ASSERT_EQ(code_got, 1) << "trial " << trial << ": a walk of " << run.entered
                             << " cells that ends was refused";
      ASSERT_EQ(got.wet, expected.wet) << "trial " << trial;
    } else {
      ++endless;
      ASSERT_EQ(code_got, -249) << "trial " << trial << ": a walk past the limit was not refused";
    }
  }
  EXPECT_GT(ended, 100);
  EXPECT_GT(endless, 20);
  EXPECT_GT(refused, 20);
}

}  // namespace
