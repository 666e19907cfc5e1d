#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "exports/analysis_grid_api.h"
#include "session/session_record.h"
#include "support/loaded_library.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Ints = std::vector<int>;
using Dbls = std::vector<double>;

// A mask that selects the given flat cells, built bit by bit, first cell in
// the top bit of the first byte.
Bytes MaskOf(int cells, const std::vector<int>& selected) {
  Bytes mask((cells + 7) / 8, 0);
  for (int k : selected) mask[k / 8] |= static_cast<unsigned char>(1u << (7 - k % 8));
  return mask;
}

// Captures the session log of one test in a fresh directory.
class LogCapture {
 public:
  LogCapture() : cwd_(dir_.path()) { mirl::session::OpenSessionLog(); }
  ~LogCapture() { mirl::session::CloseSession(); }
  std::vector<std::string> Texts() const {
    std::ifstream in(dir_.file("mirl_lib_log.txt"));
    std::vector<std::string> texts;
    for (std::string line; std::getline(in, line);)
      texts.push_back(line.substr(line.find(" | ") + 3));
    return texts;
  }

 private:
  mirl_test::TempDir dir_;
  mirl_test::ScopedCwd cwd_;
};

TEST(MaskedReplace, CodesInOrder) {
  Ints g(4, 1);
  const Bytes mask = {0xff};
  EXPECT_EQ(mvrep_int(0, 2, 0, 9, g.data(), mask.data()), -201);
  EXPECT_EQ(mvrep_int(2, -1, 0, 9, g.data(), mask.data()), -202);
  EXPECT_EQ(mvrep_int(2, 2, 0, 9, nullptr, mask.data()), -203);
  EXPECT_EQ(mvrep_int(2, 2, 0, 9, g.data(), nullptr), -204);
  EXPECT_EQ(mvrep_int(0, 0, 0, 9, nullptr, nullptr), -201);
  EXPECT_EQ(mvrep_int(1, 0, 0, 9, nullptr, nullptr), -202);
  EXPECT_EQ(mvrep_int(1, 1, 0, 9, nullptr, nullptr), -203);
  Dbls d(4, 1.0);
  EXPECT_EQ(mvrep_dbl(-2, 2, 0, 9, d.data(), mask.data()), -201);
  EXPECT_EQ(mvrep_dbl(2, 0, 0, 9, d.data(), mask.data()), -202);
  EXPECT_EQ(mvrep_dbl(2, 2, 0, 9, nullptr, mask.data()), -203);
  EXPECT_EQ(mvrep_dbl(2, 2, 0, 9, d.data(), nullptr), -204);
  EXPECT_EQ(g, Ints(4, 1));
  EXPECT_EQ(d, Dbls(4, 1.0));
}

TEST(MaskedReplace, BitOrderIsMostSignificantFirst) {
  Ints g(16, 5);
  const Bytes none(2, 0);
  EXPECT_EQ(mvrep_int(4, 4, -1, 9, g.data(), none.data()), 1);
  EXPECT_EQ(g, Ints(16, 5));
  const Bytes top = {0x80, 0};
  EXPECT_EQ(mvrep_int(4, 4, -1, 9, g.data(), top.data()), 1);
  EXPECT_EQ(g[0], 9);
  EXPECT_EQ(std::count(g.begin(), g.end(), 9), 1);
  Ints h(16, 5);
  const Bytes low = {0x01, 0};
  EXPECT_EQ(mvrep_int(4, 4, -1, 9, h.data(), low.data()), 1);
  EXPECT_EQ(h[7], 9);
  EXPECT_EQ(std::count(h.begin(), h.end(), 9), 1);
}

TEST(MaskedReplace, RandomMasksOverOddSizesIncludingThePartialLastByte) {
  std::mt19937 rng(8);
  std::bernoulli_distribution pick(0.3);
  for (int rows = 1; rows <= 7; ++rows)
    for (int cols = 1; cols <= 9; ++cols) {
      const int cells = rows * cols;
      std::vector<int> selected;
      for (int k = 0; k < cells; ++k)
        if (pick(rng)) selected.push_back(k);
      const Bytes mask = MaskOf(cells, selected);
      Dbls d(cells);
      for (int k = 0; k < cells; ++k) d[k] = k + 0.5;
      Dbls want = d;
      for (int k : selected) want[k] = -3.25;
      // The missing value has no effect, also when cells hold it.
      ASSERT_EQ(mvrep_dbl(rows, cols, 0.5, -3.25, d.data(), mask.data()), 1);
      ASSERT_EQ(d, want) << rows << " x " << cols;
    }
}

TEST(MaskedReplace, BothVariantsLogUnderTheFamilyNameFailuresOnly) {
  LogCapture log;
  Ints g(1, 0);
  Dbls d(1, 0.0);
  const Bytes mask = {0x80};
  EXPECT_EQ(mvrep_int(1, 1, 0, 4, g.data(), mask.data()), 1);
  EXPECT_EQ(mvrep_dbl(1, 1, 0, 4, d.data(), nullptr), -204);
  EXPECT_EQ(g[0], 4);
  EXPECT_EQ(log.Texts(), (std::vector<std::string>{"Entering mvrep", "Entering mvrep",
                                                   "mvrep returned with code: -204"}));
}

TEST(Sparse, CodesInOrderWithTheColumnCountFirst) {
  Ints g(6, 0), xy = {1, 1}, v = {3};
  EXPECT_EQ(sparseput_int(0, 0, 0, nullptr, nullptr, nullptr), -141);
  EXPECT_EQ(sparseput_int(0, 3, 0, nullptr, nullptr, nullptr), -142);
  EXPECT_EQ(sparseput_int(2, 3, 0, g.data(), xy.data(), v.data()), -143);
  EXPECT_EQ(sparseput_int(2, 3, 1, nullptr, nullptr, nullptr), -144);
  EXPECT_EQ(sparseput_int(2, 3, 1, g.data(), nullptr, nullptr), -145);
  EXPECT_EQ(sparseput_int(2, 3, 1, g.data(), xy.data(), nullptr), -146);
  EXPECT_EQ(sparseget_int(0, 0, 0, nullptr, nullptr, nullptr), -161);
  EXPECT_EQ(sparseget_int(-1, 3, 0, nullptr, nullptr, nullptr), -162);
  EXPECT_EQ(sparseget_int(2, 3, -4, g.data(), xy.data(), v.data()), -163);
  EXPECT_EQ(sparseget_int(2, 3, 1, nullptr, xy.data(), v.data()), -164);
  EXPECT_EQ(sparseget_int(2, 3, 1, g.data(), nullptr, v.data()), -165);
  EXPECT_EQ(sparseget_int(2, 3, 1, g.data(), xy.data(), nullptr), -166);
  Dbls d(6, 0.0), dv = {3.0};
  EXPECT_EQ(sparseput_dbl(2, 0, 1, d.data(), xy.data(), dv.data()), -141);
  EXPECT_EQ(sparseget_dbl(2, 3, 1, d.data(), xy.data(), nullptr), -166);
  EXPECT_EQ(g, Ints(6, 0));
  EXPECT_EQ(v, Ints{3});
}

TEST(Sparse, PairsAreRowThenColumnOneBased) {
  // 3 x 4: cell (2, 3) is element (2 - 1) * 4 + (3 - 1) = 6; swapped it
  // would be 9, zero-based it would be 11.
  Dbls g(12, 0.0);
  const Ints xy = {2, 3, 3, 4, 1, 1};
  const Dbls values = {1.5, 2.5, 3.5};
  EXPECT_EQ(sparseput_dbl(3, 4, 3, g.data(), xy.data(), values.data()), 1);
  Dbls want(12, 0.0);
  want[6] = 1.5, want[11] = 2.5, want[0] = 3.5;
  EXPECT_EQ(g, want);
  Dbls back(3, -1.0);
  EXPECT_EQ(sparseget_dbl(3, 4, 3, g.data(), xy.data(), back.data()), 1);
  EXPECT_EQ(back, values);
}

TEST(Sparse, RepeatedPairsApplyInOrderAndGetReadsTheGrid) {
  Ints g = {10, 20, 30, 40};  // 2 x 2
  const Ints xy = {1, 2, 1, 2, 2, 1};
  const Ints put = {7, 8, 9};
  EXPECT_EQ(sparseput_int(2, 2, 3, g.data(), xy.data(), put.data()), 1);
  EXPECT_EQ(g, (Ints{10, 8, 9, 40}));
  Ints got(3, 0);
  EXPECT_EQ(sparseget_int(2, 2, 3, g.data(), xy.data(), got.data()), 1);
  EXPECT_EQ(got, (Ints{8, 8, 9}));
}

TEST(Sparse, PairOutsideStopsWithThePairsBeforeItCopied) {
  Ints g = {1, 2, 3, 4, 5, 6};  // 2 x 3
  for (const Ints& bad : {Ints{0, 1}, Ints{1, 0}, Ints{3, 1}, Ints{1, 4}, Ints{-1, 2}}) {
    Ints got = {-9};
    EXPECT_EQ(sparseget_int(2, 3, 1, g.data(), bad.data(), got.data()), -167);
    EXPECT_EQ(got, Ints{-9});
  }
  const Ints xy = {1, 1, 2, 3, 3, 1, 1, 2};
  Ints got(4, -9);
  EXPECT_EQ(sparseget_int(2, 3, 4, g.data(), xy.data(), got.data()), -167);
  EXPECT_EQ(got, (Ints{1, 6, -9, -9}));
  const Ints put = {50, 60, 70, 80};
  EXPECT_EQ(sparseput_int(2, 3, 4, g.data(), xy.data(), put.data()), -147);
  EXPECT_EQ(g, (Ints{50, 2, 3, 4, 5, 60}));
}

TEST(Sparse, EveryReturnIsLoggedUnderTheFamilyName) {
  LogCapture log;
  Dbls g(4, 0.0), v = {1.0};
  const Ints ok = {1, 1}, bad = {5, 5};
  EXPECT_EQ(sparseput_dbl(2, 2, 1, g.data(), ok.data(), v.data()), 1);
  EXPECT_EQ(sparseget_dbl(2, 2, 1, g.data(), bad.data(), v.data()), -167);
  EXPECT_EQ(sparseget_int(2, 2, 0, nullptr, nullptr, nullptr), -163);
  EXPECT_EQ(log.Texts(),
            (std::vector<std::string>{"Entering sparseput", "sparseput returned with code: 1",
                                      "Entering sparseget", "sparseget returned with code: -167",
                                      "Entering sparseget", "sparseget returned with code: -163"}));
}

// The box from every non-zero cell, the plain way.
bool BruteBox(const Dbls& g, int rows, int cols, Ints* box) {
  int top = rows + 1, bottom = 0, left = cols + 1, right = 0;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      if (g[r * cols + c] != 0 || std::isnan(g[r * cols + c])) {
        top = std::min(top, r + 1), bottom = std::max(bottom, r + 1);
        left = std::min(left, c + 1), right = std::max(right, c + 1);
      }
  if (bottom == 0) return false;
  *box = {top, bottom, left, right};
  return true;
}

TEST(Clip, CodesInOrderAndAllZeroLeavesTheBox) {
  Ints g(6, 0), box = {-1, -2, -3, -4};
  EXPECT_EQ(clip_int(0, 3, g.data(), box.data()), -121);
  EXPECT_EQ(clip_int(2, 0, g.data(), box.data()), -122);
  EXPECT_EQ(clip_int(2, 3, nullptr, box.data()), -123);
  EXPECT_EQ(clip_int(2, 3, g.data(), nullptr), -124);
  EXPECT_EQ(clip_int(0, 0, nullptr, nullptr), -121);
  EXPECT_EQ(clip_int(2, 3, g.data(), box.data()), -125);
  const Dbls zeros = {0.0, -0.0, 0.0};
  EXPECT_EQ(clip_dbl(1, 3, zeros.data(), box.data()), -125);
  EXPECT_EQ(box, (Ints{-1, -2, -3, -4}));
}

TEST(Clip, SingleCellsAndARowSegment) {
  Ints g(4 * 6, 0), box(4, 0);
  g[1 * 6 + 4] = 3;  // row 2, column 5
  EXPECT_EQ(clip_int(4, 6, g.data(), box.data()), 1);
  EXPECT_EQ(box, (Ints{2, 2, 5, 5}));
  Ints row(10, 0);
  for (int c = 3; c <= 6; c += 3) row[c] = -1;  // columns 4 and 7
  EXPECT_EQ(clip_int(1, 10, row.data(), box.data()), 1);
  EXPECT_EQ(box, (Ints{1, 1, 4, 7}));
}

TEST(Clip, EdgesComeFromDifferentRowsAndNaNCounts) {
  // 4 x 5: the left edge is in the last row, the right edge in the first.
  Dbls g(20, 0.0);
  g[0 * 5 + 3] = 0.1;
  g[3 * 5 + 1] = std::nan("");
  Ints box(4, 0);
  EXPECT_EQ(clip_dbl(4, 5, g.data(), box.data()), 1);
  EXPECT_EQ(box, (Ints{1, 4, 2, 4}));
}

TEST(Clip, RandomSparseGridsMatchTheBoxOfAllNonZeroCells) {
  std::mt19937 rng(77);
  std::bernoulli_distribution set(0.04);
  for (int trial = 0; trial < 300; ++trial) {
    const int rows = 1 + trial % 17, cols = 1 + (trial / 17) % 19;
    Dbls g(rows * cols, 0.0);
    for (double& v : g) v = set(rng) ? 1.0 : 0.0;
    Ints want(4, -7), got(4, -7);
    const bool any = BruteBox(g, rows, cols, &want);
    ASSERT_EQ(clip_dbl(rows, cols, g.data(), got.data()), any ? 1 : -125) << trial;
    ASSERT_EQ(got, want) << trial;
    Ints gi(g.begin(), g.end());
    ASSERT_EQ(clip_int(rows, cols, gi.data(), got.data()), any ? 1 : -125) << trial;
    ASSERT_EQ(got, want) << trial;
  }
}

TEST(Clip, SuccessAndArgumentFailuresAreLoggedNoCellIsNot) {
  LogCapture log;
  Ints g = {0, 5}, box(4, 0);
  const Ints zeros(2, 0);
  EXPECT_EQ(clip_int(1, 2, g.data(), box.data()), 1);
  EXPECT_EQ(clip_int(1, 2, zeros.data(), box.data()), -125);
  EXPECT_EQ(clip_dbl(1, 2, nullptr, box.data()), -123);
  EXPECT_EQ(log.Texts(), (std::vector<std::string>{"Entering clip", "clip returned with code: 1",
                                                   "Entering clip", "Entering clip",
                                                   "clip returned with code: -123"}));
}

TEST(MatrixUtilsTwins, EveryTwinPassesItsArgumentsAndStoresTheCode) {
  mirl_test::LoadedLibrary lib;
  int result = 0, rows = 2, cols = 2, n = 1;
  Ints gi = {0, 0, 0, 0};
  Dbls gd = {0, 0, 0, 0};
  Bytes mask = {0x40};  // the second cell
  int imiss = -1, ival = 6;
  double dmiss = -1, dval = 6.5;
  auto mi = lib.find<int (*)(int*, int*, int*, int*, int*, int*, unsigned char*)>("R_mvrep_int");
  auto md =
      lib.find<int (*)(int*, int*, int*, double*, double*, double*, unsigned char*)>("R_mvrep_dbl");
  ASSERT_TRUE(mi && md);
  EXPECT_EQ(mi(&result, &rows, &cols, &imiss, &ival, gi.data(), mask.data()), 1);
  EXPECT_EQ(md(&result, &rows, &cols, &dmiss, &dval, gd.data(), mask.data()), 1);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(gi, (Ints{0, 6, 0, 0}));
  EXPECT_EQ(gd, (Dbls{0, 6.5, 0, 0}));

  Ints xy = {2, 1}, vi = {4};
  Dbls vd = {4.5};
  auto pi = lib.find<int (*)(int*, int*, int*, int*, int*, int*, int*)>("R_sparseput_int");
  auto pd = lib.find<int (*)(int*, int*, int*, int*, double*, int*, double*)>("R_sparseput_dbl");
  auto gti = lib.find<int (*)(int*, int*, int*, int*, int*, int*, int*)>("R_sparseget_int");
  auto gtd = lib.find<int (*)(int*, int*, int*, int*, double*, int*, double*)>("R_sparseget_dbl");
  ASSERT_TRUE(pi && pd && gti && gtd);
  EXPECT_EQ(pi(&result, &rows, &cols, &n, gi.data(), xy.data(), vi.data()), 1);
  EXPECT_EQ(pd(&result, &rows, &cols, &n, gd.data(), xy.data(), vd.data()), 1);
  EXPECT_EQ(gi, (Ints{0, 6, 4, 0}));
  EXPECT_EQ(gd, (Dbls{0, 6.5, 4.5, 0}));
  xy = {1, 2};
  EXPECT_EQ(gti(&result, &rows, &cols, &n, gi.data(), xy.data(), vi.data()), 1);
  EXPECT_EQ(gtd(&result, &rows, &cols, &n, gd.data(), xy.data(), vd.data()), 1);
  EXPECT_EQ(vi, Ints{6});
  EXPECT_EQ(vd, Dbls{6.5});
  n = 0;
  EXPECT_EQ(gtd(&result, &rows, &cols, &n, gd.data(), xy.data(), vd.data()), -163);
  EXPECT_EQ(result, -163);

  auto ci = lib.find<int (*)(int*, int*, int*, int*, int*)>("R_clip_int");
  auto cd = lib.find<int (*)(int*, int*, int*, double*, int*)>("R_clip_dbl");
  ASSERT_TRUE(ci && cd);
  Ints box(4, 0);
  EXPECT_EQ(ci(&result, &rows, &cols, gi.data(), box.data()), 1);
  EXPECT_EQ(box, (Ints{1, 2, 1, 2}));
  gd = {0, 0, 0, 0};
  EXPECT_EQ(cd(&result, &rows, &cols, gd.data(), box.data()), -125);
  EXPECT_EQ(result, -125);
}

}  // namespace
