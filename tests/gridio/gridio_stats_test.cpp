// Statistics of layers built to break a merge of per-row summaries: values
// at both ends of the integer range, clusters far from zero, rows of one
// valid cell, rows with none, and many rows of unequal counts. The oracle
// is exact integer arithmetic (128 bits) for integer layers.
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "gridio_fixture.h"

namespace {

using namespace gridio_test;

constexpr int32_t kMissI = GIO_MISSING_INT;

struct Exact {
  long double mean = 0, std_dev = 0, minimum = 0, maximum = 0;
};

// Mean and population standard deviation of the valid cells, from exact
// sums: n * sum(x^2) - sum(x)^2 has no rounding at all.
Exact ExactStats(const std::vector<int32_t>& cells) {
  __int128 n = 0, s = 0, q = 0;
  int32_t lo = std::numeric_limits<int32_t>::max(), hi = std::numeric_limits<int32_t>::min();
  for (int32_t v : cells) {
    if (v == kMissI) continue;
    ++n;
    s += v;
    q += static_cast<__int128>(v) * v;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  Exact e;
  if (n == 0) return e;
  const __int128 spread = n * q - s * s;  // n^2 * variance
  e.mean = static_cast<long double>(s) / static_cast<long double>(n);
  e.std_dev = std::sqrt(static_cast<long double>(spread)) / static_cast<long double>(n);
  e.minimum = lo;
  e.maximum = hi;
  return e;
}

double Ulp(double x) { return std::nextafter(std::fabs(x), INFINITY) - std::fabs(x); }

class GridioStatsTest : public GridioTest {
 protected:
  void Describe(const std::string& name, double stats[4]) {
    double size = 0, box[4];
    int32_t rc[2], type = 0, classes = -1, reclen = -1;
    ASSERT_EQ(DescribeGridDbl(Path(name).c_str(), &size, rc, box, stats, &type, &classes, &reclen),
              GIO_OK);
  }
  // Writes an integer layer and compares its statistics with the oracle:
  // extremes exactly, mean and deviation to a few units in the last place.
  void Check(const std::string& name, int rows, int cols, const std::vector<int32_t>& cells) {
    WriteLayer(name, rows, cols, 0.0, 0.0, 1.0, cells);
    double stats[4];
    Describe(name, stats);
    const Exact e = ExactStats(cells);
    EXPECT_EQ(stats[0], static_cast<double>(e.minimum));
    EXPECT_EQ(stats[1], static_cast<double>(e.maximum));
    const double mean = static_cast<double>(e.mean);
    const double dev = static_cast<double>(e.std_dev);
    EXPECT_NEAR(stats[2], mean, 4 * Ulp(mean)) << "mean of " << name;
    EXPECT_NEAR(stats[3], dev, dev * 1e-13 + 1e-300) << "deviation of " << name;
  }
};

TEST_F(GridioStatsTest, BothEndsOfTheIntegerRangeInOneRowAndAcrossRows) {
  const int32_t top = std::numeric_limits<int32_t>::max();
  const int32_t bottom = std::numeric_limits<int32_t>::min();  // a valid value
  // Row 0 starts at the bottom end, row 1 at the top, row 2 is empty, row 3
  // has one valid cell.
  std::vector<int32_t> cells = {bottom, top,    top,    top,    kMissI, top,    bottom, bottom,
                                kMissI, kMissI, kMissI, kMissI, kMissI, kMissI, 5,      kMissI};
  Check("ends", 4, 4, cells);
}

TEST_F(GridioStatsTest, ClusterJustBelowTheTopWithTinySpread) {
  std::vector<int32_t> cells;
  for (int i = 0; i < 40 * 9; ++i) cells.push_back(2147483640 + (i * 7) % 5);
  for (int i = 3; i < 360; i += 11) cells[i] = kMissI;
  Check("cluster", 40, 9, cells);
}

TEST_F(GridioStatsTest, ManyRowsOfUnequalCountsAndWideValues) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int32_t> any(std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max());
  std::bernoulli_distribution missing(0.6);
  const int rows = 3000, cols = 5;
  std::vector<int32_t> cells(rows * cols);
  for (int32_t& v : cells) v = missing(rng) ? kMissI : any(rng);
  Check("wide", rows, cols, cells);
}

}  // namespace
