#include <random>

#include "gridio_fixture.h"

namespace {

using namespace gridio_test;

constexpr float kMiss = GIO_MISSING_FLOAT;

// A 4 x 4 layer of cell size 10 over (0, 0)-(40, 40); the cell in row r
// (0 = north) and column c holds 10 r + c.
class GridioWindowTest : public GridioTest {
 protected:
  void SetUp() override {
    GridioTest::SetUp();
    std::vector<float> values;
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) values.push_back(10.0f * r + c);
    WriteLayer("g", 4, 4, 0.0, 0.0, 10.0, values);
  }
};

// Nearest-neighbour sampling at cell centres, written out independently: the
// layer cell that contains the centre of each window cell.
std::vector<float> Sample(const std::vector<float>& layer, int rows, int cols, double x0,
                          double y_top, double size, double wx, double wy_top, int wrows, int wcols,
                          double wsize) {
  std::vector<float> out;
  for (int r = 0; r < wrows; ++r) {
    for (int c = 0; c < wcols; ++c) {
      const double x = wx + (c + 0.5) * wsize;
      const double y = wy_top - (r + 0.5) * wsize;
      const double lc = std::floor((x - x0) / size);
      const double lr = std::floor((y_top - y) / size);
      out.push_back(lc < 0 || lr < 0 || lc >= cols || lr >= rows
                        ? kMiss
                        : layer[static_cast<int>(lr) * cols + static_cast<int>(lc)]);
    }
  }
  return out;
}

TEST_F(GridioWindowTest, WindowEqualToTheLayerReadsItsCells) {
  SetWindow(0, 0, 40, 40, 10);
  std::vector<float> expected;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) expected.push_back(10.0f * r + c);
  EXPECT_EQ(ReadWindow<float>("g"), expected);
}

TEST_F(GridioWindowTest, WindowShiftedByHalfTheLayerNorthEastSeesOneQuarter) {
  SetWindow(20, 20, 60, 60, 10);
  const std::vector<float> expected = {kMiss, kMiss, kMiss, kMiss,  //
                                       kMiss, kMiss, kMiss, kMiss,  //
                                       2,     3,     kMiss, kMiss,  //
                                       12,    13,    kMiss, kMiss};
  EXPECT_EQ(ReadWindow<float>("g"), expected);
}

TEST_F(GridioWindowTest, WindowShiftedByHalfTheLayerSouthWestSeesTheOtherQuarter) {
  SetWindow(-20, -20, 20, 20, 10);
  const std::vector<float> expected = {kMiss, kMiss, 20,    21,     //
                                       kMiss, kMiss, 30,    31,     //
                                       kMiss, kMiss, kMiss, kMiss,  //
                                       kMiss, kMiss, kMiss, kMiss};
  EXPECT_EQ(ReadWindow<float>("g"), expected);
}

TEST_F(GridioWindowTest, CoarserWindowSamplesTheCellUnderEachCentre) {
  // Centres (10, 30), (30, 30), (10, 10), (30, 10): layer cells (1, 1),
  // (1, 3), (3, 1), (3, 3). A corner-based sampler would give 0, 2, 20, 22.
  SetWindow(0, 0, 40, 40, 20);
  EXPECT_EQ(ReadWindow<float>("g"), (std::vector<float>{11, 13, 31, 33}));
}

TEST_F(GridioWindowTest, FinerWindowRepeatsEachCellTwiceEachWay) {
  SetWindow(0, 0, 40, 40, 5);
  std::vector<float> expected;
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) expected.push_back(10.0f * (r / 2) + c / 2);
  EXPECT_EQ(ReadWindow<float>("g"), expected);
}

TEST_F(GridioWindowTest, OffsetByPartOfACellSamplesByCentre) {
  // Centres at x = 12.5, 22.5, 32.5, 42.5: columns 1, 2, 3 and outside.
  SetWindow(7.5, 0, 47.5, 10, 10);
  EXPECT_EQ(ReadWindow<float>("g"), (std::vector<float>{31, 32, 33, kMiss}));
  // Centres at x = 7.5 ... 37.5 still fall in columns 0 to 3.
  SetWindow(2.5, 30, 42.5, 40, 10);
  EXPECT_EQ(ReadWindow<float>("g"), (std::vector<float>{0, 1, 2, 3}));
}

TEST_F(GridioWindowTest, WindowEntirelyOutsideReadsOnlyMissing) {
  SetWindow(100, 100, 120, 110, 10);
  EXPECT_EQ(ReadWindow<float>("g"), (std::vector<float>{kMiss, kMiss}));
}

TEST_F(GridioWindowTest, IntegerRowsThroughAShiftedWindowUseTheIntegerMarker) {
  SetWindow(30, 0, 50, 10, 10);
  EXPECT_EQ(ReadWindow<int32_t>("g"), (std::vector<int32_t>{33, GIO_MISSING_INT}));
}

TEST_F(GridioWindowTest, ChangingTheWindowBetweenReadsOfOneHandleTakesEffect) {
  int32_t type;
  double size;
  const int h = CellLayerOpen(Path("g").c_str(), GIO_READ, 1, &type, &size);
  ASSERT_GE(h, 0);
  SetWindow(0, 0, 40, 40, 20);
  float coarse[2];
  ASSERT_EQ(GetWindowRowFloat(h, 0, coarse), GIO_OK);
  EXPECT_EQ(coarse[1], 13);
  SetWindow(10, 0, 30, 40, 10);
  float narrow[2];
  ASSERT_EQ(GetWindowRowFloat(h, 0, narrow), GIO_OK);
  EXPECT_EQ(narrow[0], 1);
  EXPECT_EQ(narrow[1], 2);
  EXPECT_EQ(CellLyrClose(h), GIO_OK);
}

TEST_F(GridioWindowTest, RandomWindowsAgreeWithIndependentSampling) {
  std::mt19937 rng(7);
  std::vector<float> layer(13 * 17);
  for (float& v : layer) v = static_cast<float>(rng() % 1000);
  WriteLayer("r", 13, 17, 5.0, -3.0, 2.0, layer);
  std::uniform_real_distribution<double> pos(-10.0, 40.0), size(0.3, 7.0);
  for (int trial = 0; trial < 60; ++trial) {
    const double cs = trial % 3 == 0 ? 2.0 : size(rng);
    // Every third window on the layer's own cells, shifted by whole cells.
    const double x = trial % 3 == 0 ? 5.0 + 2.0 * (static_cast<int>(rng() % 20) - 5) : pos(rng);
    const double y = trial % 3 == 0 ? -3.0 + 2.0 * (static_cast<int>(rng() % 20) - 5) : pos(rng);
    const int wcols = 1 + rng() % 20, wrows = 1 + rng() % 20;
    SetWindow(x, y, x + wcols * cs, y + wrows * cs, cs);
    ASSERT_EQ(WindowCols(), wcols);
    ASSERT_EQ(WindowRows(), wrows);
    const std::vector<float> expected =
        Sample(layer, 13, 17, 5.0, -3.0 + 13 * 2.0, 2.0, x, y + wrows * cs, wrows, wcols, cs);
    ASSERT_EQ(ReadWindow<float>("r"), expected) << "trial " << trial;
  }
}

TEST_F(GridioWindowTest, WritingThroughAShiftedWindowDropsCellsOutsideTheLayer) {
  const double box[4] = {0, 0, 40, 40};
  SetWindow(0, 0, 40, 40, 10);
  const int h = CellLayerCreate(Path("w").c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 10.0, box);
  ASSERT_GE(h, 0);
  SetWindow(20, 0, 60, 40, 10);
  for (int r = 0; r < 4; ++r) {
    const float row[4] = {100.0f + r, 200.0f + r, 300.0f + r, 400.0f + r};
    ASSERT_EQ(PutWindowRow(h, r, row), GIO_OK);
  }
  ASSERT_EQ(CellLyrClose(h), GIO_OK);
  SetWindow(0, 0, 40, 40, 10);
  std::vector<float> expected;
  for (int r = 0; r < 4; ++r) {
    const float row[4] = {kMiss, kMiss, 100.0f + r, 200.0f + r};
    expected.insert(expected.end(), row, row + 4);
  }
  EXPECT_EQ(ReadWindow<float>("w"), expected);
}

TEST_F(GridioWindowTest, WritingThroughACoarserWindowSetsOnlyTheSampledCells) {
  const double box[4] = {0, 0, 40, 40};
  SetWindow(0, 0, 40, 40, 10);
  const int h = CellLayerCreate(Path("w").c_str(), GIO_READWRITE, 1, GIO_CELLINT, 10.0, box);
  ASSERT_GE(h, 0);
  SetWindow(0, 0, 40, 40, 20);
  const int32_t north[2] = {1, 2}, south[2] = {3, 4};
  ASSERT_EQ(PutWindowRow(h, 0, north), GIO_OK);
  ASSERT_EQ(PutWindowRow(h, 1, south), GIO_OK);
  ASSERT_EQ(CellLyrClose(h), GIO_OK);
  SetWindow(0, 0, 40, 40, 10);
  const int32_t m = GIO_MISSING_INT;
  EXPECT_EQ(ReadWindow<int32_t>("w"),
            (std::vector<int32_t>{m, m, m, m, m, 1, m, 2, m, m, m, m, m, 3, m, 4}));
}

TEST_F(GridioWindowTest, FinerWindowRoundTripsBlocksOfEqualCells) {
  const double box[4] = {0, 0, 20, 20};
  SetWindow(0, 0, 20, 20, 10);
  const int h = CellLayerCreate(Path("w").c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 10.0, box);
  ASSERT_GE(h, 0);
  SetWindow(0, 0, 20, 20, 5);
  for (int r = 0; r < 4; ++r) {
    const float row[4] = {1.0f + r / 2 * 2, 1.0f + r / 2 * 2, 2.0f + r / 2 * 2, 2.0f + r / 2 * 2};
    ASSERT_EQ(PutWindowRow(h, r, row), GIO_OK);
  }
  ASSERT_EQ(CellLyrClose(h), GIO_OK);
  SetWindow(0, 0, 20, 20, 10);
  EXPECT_EQ(ReadWindow<float>("w"), (std::vector<float>{1, 2, 3, 4}));
}

TEST_F(GridioWindowTest, WindowBoxIsSnappedAndMayBeWrittenOverTheInput) {
  double box[4] = {1.0, 2.0, 26.0, 12.0};
  ASSERT_EQ(AccessWindowSet(box, 10.0, box), GIO_OK);
  EXPECT_EQ(box[0], 1.0);
  EXPECT_EQ(box[1], 2.0);
  EXPECT_EQ(box[2], 31.0);
  EXPECT_EQ(box[3], 12.0);
  EXPECT_EQ(WindowCols(), 3);
  EXPECT_EQ(WindowRows(), 1);
}

TEST_F(GridioWindowTest, ABoxARoundingErrorShortOfWholeCellsKeepsItsCellCount) {
  const double box[4] = {0.0, 0.0, 0.1 * 3, 0.7};
  double set[4];
  ASSERT_EQ(AccessWindowSet(box, 0.1, set), GIO_OK);
  EXPECT_EQ(WindowCols(), 3);
  EXPECT_EQ(WindowRows(), 7);
}

TEST_F(GridioWindowTest, RefusedWindowLeavesNoWindow) {
  SetWindow(0, 0, 40, 40, 10);
  const double inverted[4] = {10, 0, 0, 10};
  const double flat[4] = {0, 5, 10, 5};
  const double nan_box[4] = {0, 0, NAN, 10};
  const double ok[4] = {0, 0, 10, 10};
  double set[4];
  EXPECT_EQ(AccessWindowSet(inverted, 1, set), GIO_ERR_ARGUMENT);
  EXPECT_EQ(AccessWindowSet(flat, 1, set), GIO_ERR_ARGUMENT);
  EXPECT_EQ(AccessWindowSet(nan_box, 1, set), GIO_ERR_ARGUMENT);
  EXPECT_EQ(AccessWindowSet(ok, 0, set), GIO_ERR_ARGUMENT);
  EXPECT_EQ(AccessWindowSet(ok, -1, set), GIO_ERR_ARGUMENT);
  EXPECT_EQ(AccessWindowSet(ok, INFINITY, set), GIO_ERR_ARGUMENT);
  EXPECT_EQ(WindowRows(), 0);
  EXPECT_EQ(WindowCols(), 0);
  int32_t type;
  double size;
  const int h = CellLayerOpen(Path("g").c_str(), GIO_READ, 1, &type, &size);
  float row[4];
  EXPECT_EQ(GetWindowRowFloat(h, 0, row), GIO_ERR_NO_WINDOW);
  EXPECT_EQ(CellLyrClose(h), GIO_OK);
}

}  // namespace
