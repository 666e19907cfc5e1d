#include <cfloat>
#include <cmath>
#include <fstream>
#include <vector>

#include "gridio_fixture.h"

namespace {

using namespace gridio_test;

constexpr float kMissF = GIO_MISSING_FLOAT;
constexpr int32_t kMissI = GIO_MISSING_INT;

class GridioRoundTripTest : public GridioTest {};

TEST_F(GridioRoundTripTest, FloatLayerComesBackExactlyAfterReopening) {
  const std::vector<float> values = {0.5f, -1.25f, 3e7f, kMissF, 7.0f, 1e-30f};
  WriteLayer("g", 2, 3, 100.0, 200.0, 5.0, values);
  EXPECT_EQ(GridExists(Path("g").c_str()), 1);
  EXPECT_EQ(ReadWindow<float>("g"), values);
}

TEST_F(GridioRoundTripTest, IntegerLayerComesBackExactlyWithItsMarker) {
  const std::vector<int32_t> values = {1, -7, kMissI, 2147483647, -2147483647 + 1, 0};
  WriteLayer("g", 3, 2, 0.0, 0.0, 1.0, values);
  EXPECT_EQ(ReadWindow<int32_t>("g"), values);
}

TEST_F(GridioRoundTripTest, OpenReportsCellTypeAndCellSize) {
  WriteLayer("f", 1, 2, 0.0, 0.0, 2.5, std::vector<float>{1, 2});
  WriteLayer("i", 1, 2, 0.0, 0.0, 4.0, std::vector<int32_t>{1, 2});
  int32_t type = 0;
  double size = 0;
  int h = CellLayerOpen(Path("f").c_str(), GIO_READ, 1, &type, &size);
  EXPECT_GE(h, 0);
  EXPECT_EQ(type, GIO_CELLFLOAT);
  EXPECT_EQ(size, 2.5);
  EXPECT_EQ(CellLyrClose(h), GIO_OK);
  h = CellLayerOpen(Path("i").c_str(), GIO_READ, 1, &type, &size);
  EXPECT_EQ(type, GIO_CELLINT);
  EXPECT_EQ(size, 4.0);
  EXPECT_EQ(CellLyrClose(h), GIO_OK);
}

TEST_F(GridioRoundTripTest, WrittenLayerIsOneNorthUpGeoTiffWithItsNodata) {
  // Row 0 is the northern row: the first row written is the top of the file.
  WriteLayer("g", 2, 3, 100.0, 200.0, 5.0, std::vector<float>{1, 2, 3, 4, kMissF, 6});
  EXPECT_EQ(Listing(dir_.path()), (std::vector<std::string>{"g", "g/layer.tif"}));
  const Raster r = ReadGeoTiff(Path("g/layer.tif"));
  EXPECT_EQ(r.type, GDT_Float32);
  EXPECT_EQ(r.cols, 3);
  EXPECT_EQ(r.rows, 2);
  const double gt[6] = {100.0, 5.0, 0.0, 210.0, 0.0, -5.0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(r.gt[i], gt[i]) << i;
  EXPECT_TRUE(r.has_nodata);
  EXPECT_EQ(static_cast<float>(r.nodata), -FLT_MAX);
  EXPECT_EQ(r.values, (std::vector<double>{1, 2, 3, 4, -FLT_MAX, 6}));
}

TEST_F(GridioRoundTripTest, IntegerLayerIsStoredAsInt32WithTheIntegerMarkerAsNodata) {
  WriteLayer("g", 1, 2, 0.0, 0.0, 1.0, std::vector<int32_t>{kMissI, 9});
  const Raster r = ReadGeoTiff(Path("g/layer.tif"));
  EXPECT_EQ(r.type, GDT_Int32);
  EXPECT_TRUE(r.has_nodata);
  EXPECT_EQ(r.nodata, -2147483647.0);
  EXPECT_EQ(r.values, (std::vector<double>{-2147483647.0, 9}));
}

TEST_F(GridioRoundTripTest, RowsNeverWrittenReadAsMissing) {
  const double box[4] = {0, 0, 2, 3};
  SetWindow(0, 0, 2, 3, 1);
  const int h = CellLayerCreate(Path("g").c_str(), GIO_READWRITE, 1, GIO_CELLINT, 1.0, box);
  ASSERT_GE(h, 0);
  const int32_t row[2] = {4, 5};
  ASSERT_EQ(PutWindowRow(h, 1, row), GIO_OK);
  // Readable through the handle that writes it, before it is committed.
  int32_t back[2] = {0, 0};
  ASSERT_EQ(GetWindowRowInt(h, 1, back), GIO_OK);
  EXPECT_EQ(back[0], 4);
  ASSERT_EQ(CellLyrClose(h), GIO_OK);
  EXPECT_EQ(ReadWindow<int32_t>("g"), (std::vector<int32_t>{kMissI, kMissI, 4, 5, kMissI, kMissI}));
}

TEST_F(GridioRoundTripTest, NothingButTheLayerFileIsLeftBehind) {
  WriteLayer("g", 2, 2, 0, 0, 1, std::vector<float>{1, 2, 3, 4});
  ReadWindow<float>("g");
  double size, box[4], stats[4];
  int32_t rc[2], type, classes, reclen;
  ASSERT_EQ(DescribeGridDbl(Path("g").c_str(), &size, rc, box, stats, &type, &classes, &reclen),
            GIO_OK);
  // No partial files beside the layer and no .aux.xml side files in it.
  EXPECT_EQ(Listing(dir_.path()), (std::vector<std::string>{"g", "g/layer.tif"}));
}

TEST_F(GridioRoundTripTest, DescribeGivesExactStatisticsOfTheValidCells) {
  const std::vector<float> values = {1, 2, 3, 4, kMissF, 10};
  WriteLayer("g", 2, 3, 100.0, 200.0, 5.0, values);
  double sum = 0, n = 0, lo = 1e300, hi = -1e300;
  for (float v : values)
    if (v != kMissF) sum += v, n += 1, lo = std::min<double>(lo, v), hi = std::max<double>(hi, v);
  const double mean = sum / n;
  double squares = 0;
  for (float v : values)
    if (v != kMissF) squares += (v - mean) * (v - mean);
  double size = 0, box[4], stats[4];
  int32_t rc[2], type = 0, classes = -1, reclen = -1;
  ASSERT_EQ(DescribeGridDbl(Path("g").c_str(), &size, rc, box, stats, &type, &classes, &reclen),
            GIO_OK);
  EXPECT_EQ(size, 5.0);
  EXPECT_EQ(rc[0], 2);
  EXPECT_EQ(rc[1], 3);
  EXPECT_EQ(box[0], 100.0);
  EXPECT_EQ(box[1], 200.0);
  EXPECT_EQ(box[2], 115.0);
  EXPECT_EQ(box[3], 210.0);
  EXPECT_EQ(stats[0], lo);
  EXPECT_EQ(stats[1], hi);
  EXPECT_DOUBLE_EQ(stats[2], mean);
  // Population deviation: sqrt(10), not the sample one, sqrt(12.5).
  EXPECT_DOUBLE_EQ(stats[3], std::sqrt(squares / n));
  EXPECT_EQ(type, GIO_CELLFLOAT);
  EXPECT_EQ(classes, 0);
  EXPECT_EQ(reclen, 0);
}

// Rows merged one by one must give what one pass over all valid cells
// gives: rows of different valid counts (one with none), integer cells far
// from zero whose deviations are small, where a plain sum of squares would
// cancel to nothing.
TEST_F(GridioRoundTripTest, DescribeMergesRowsOfUnequalCountsWithoutCancellation) {
  const int rows = 6, cols = 7;
  std::vector<int32_t> values(rows * cols);
  for (int i = 0; i < rows * cols; ++i) values[i] = 2000000000 + (i * 37) % 11;
  for (int c = 0; c < cols; ++c) values[2 * cols + c] = kMissI;
  for (int i : {0, 3, 5, 9, 30, 31, 32, 33, 34, 40}) values[i] = kMissI;
  WriteLayer("g", rows, cols, 0.0, 0.0, 1.0, values);
  long double sum = 0, n = 0;
  for (int32_t v : values)
    if (v != kMissI) sum += v, n += 1;
  const long double mean = sum / n;
  long double squares = 0;
  for (int32_t v : values)
    if (v != kMissI) squares += (v - mean) * (v - mean);
  double size = 0, box[4], stats[4];
  int32_t rc[2], type = 0, classes = -1, reclen = -1;
  ASSERT_EQ(DescribeGridDbl(Path("g").c_str(), &size, rc, box, stats, &type, &classes, &reclen),
            GIO_OK);
  EXPECT_EQ(stats[0], 2000000000.0);
  EXPECT_EQ(stats[1], 2000000010.0);
  EXPECT_NEAR(stats[2], static_cast<double>(mean), 1e-6);
  EXPECT_NEAR(stats[3], static_cast<double>(std::sqrt(squares / n)), 1e-9);
  EXPECT_GT(stats[3], 2.5);
}

TEST_F(GridioRoundTripTest, DescribeOfALayerWithoutValidCellsIsAllZero) {
  WriteLayer("g", 1, 2, 0, 0, 1, std::vector<int32_t>{kMissI, kMissI});
  double size, box[4], stats[4] = {9, 9, 9, 9};
  int32_t rc[2], type, classes, reclen;
  ASSERT_EQ(DescribeGridDbl(Path("g").c_str(), &size, rc, box, stats, &type, &classes, &reclen),
            GIO_OK);
  for (double s : stats) EXPECT_EQ(s, 0.0);
  EXPECT_EQ(type, GIO_CELLINT);
}

TEST_F(GridioRoundTripTest, CopyIsAnIndependentEqualLayer) {
  const std::vector<int32_t> values = {1, 2, kMissI, 4};
  WriteLayer("a", 2, 2, 10, 20, 2, values);
  ASSERT_EQ(GridCopy(Path("a").c_str(), Path("b").c_str()), GIO_OK);
  EXPECT_EQ(ReadWindow<int32_t>("b"), values);
  WriteLayer("a", 2, 2, 10, 20, 2, std::vector<int32_t>{7, 7, 7, 7});
  EXPECT_EQ(ReadWindow<int32_t>("b"), values);
  const Raster r = ReadGeoTiff(Path("b/layer.tif"));
  EXPECT_EQ(r.gt[0], 10.0);
  EXPECT_EQ(r.gt[3], 24.0);
  EXPECT_EQ(r.nodata, -2147483647.0);
}

TEST_F(GridioRoundTripTest, CopyOntoALayerOrFromNothingFailsAndChangesNothing) {
  WriteLayer("a", 1, 1, 0, 0, 1, std::vector<float>{1});
  WriteLayer("b", 1, 1, 0, 0, 1, std::vector<float>{2});
  EXPECT_EQ(GridCopy(Path("a").c_str(), Path("b").c_str()), GIO_ERR_EXISTS);
  EXPECT_EQ(ReadWindow<float>("b"), std::vector<float>{2});
  EXPECT_EQ(GridCopy(Path("missing").c_str(), Path("c").c_str()), GIO_ERR_NOT_FOUND);
  EXPECT_FALSE(fs::exists(Path("c")));
}

TEST_F(GridioRoundTripTest, DeleteRemovesTheLayerAndItsDirectory) {
  WriteLayer("g", 1, 1, 0, 0, 1, std::vector<float>{1});
  ASSERT_EQ(CellLyrDelete(Path("g").c_str()), GIO_OK);
  EXPECT_EQ(GridExists(Path("g").c_str()), 0);
  EXPECT_FALSE(fs::exists(Path("g")));
  EXPECT_EQ(CellLyrDelete(Path("g").c_str()), GIO_ERR_NOT_FOUND);
}

TEST_F(GridioRoundTripTest, DeleteKeepsUnrelatedFilesAndTheirDirectory) {
  WriteLayer("g", 1, 1, 0, 0, 1, std::vector<float>{1});
  std::ofstream(Path("g/notes.txt")) << "mine";
  ASSERT_EQ(CellLyrDelete(Path("g").c_str()), GIO_OK);
  EXPECT_EQ(GridExists(Path("g").c_str()), 0);
  EXPECT_EQ(Listing(Path("g")), std::vector<std::string>{"notes.txt"});
}

TEST_F(GridioRoundTripTest, RewriteIsPrivateUntilClosed) {
  WriteLayer("g", 2, 2, 0, 0, 1, std::vector<float>{1, 2, 3, 4});
  int32_t type;
  double size;
  const int writer = CellLayerOpen(Path("g").c_str(), GIO_READWRITE, 1, &type, &size);
  ASSERT_GE(writer, 0);
  const float row[2] = {8, 9};
  ASSERT_EQ(PutWindowRow(writer, 1, row), GIO_OK);
  EXPECT_EQ(ReadWindow<float>("g"), (std::vector<float>{1, 2, 3, 4}));
  ASSERT_EQ(CellLyrClose(writer), GIO_OK);
  EXPECT_EQ(ReadWindow<float>("g"), (std::vector<float>{1, 2, 8, 9}));
  EXPECT_EQ(Listing(dir_.path()), (std::vector<std::string>{"g", "g/layer.tif"}));
}

TEST_F(GridioRoundTripTest, CreateOverALayerReplacesItOnlyWhenClosed) {
  WriteLayer("g", 1, 2, 0, 0, 1, std::vector<int32_t>{1, 2});
  const double box[4] = {0, 0, 2, 1};
  const int h = CellLayerCreate(Path("g").c_str(), GIO_READWRITE, 1, GIO_CELLINT, 1.0, box);
  ASSERT_GE(h, 0);
  const int32_t row[2] = {5, 6};
  ASSERT_EQ(PutWindowRow(h, 0, row), GIO_OK);
  EXPECT_EQ(GridExists(Path("g").c_str()), 1);
  EXPECT_EQ(ReadWindow<int32_t>("g"), (std::vector<int32_t>{1, 2}));
  ASSERT_EQ(CellLyrClose(h), GIO_OK);
  EXPECT_EQ(ReadWindow<int32_t>("g"), (std::vector<int32_t>{5, 6}));
}

TEST_F(GridioRoundTripTest, CreateOverAUsersGeoTiffReplacesThatFile) {
  fs::create_directory(Path("g"));
  const double gt[6] = {0, 1, 0, 1, 0, -1};
  WriteGeoTiff(Path("g/dem.tif"), GDT_Int16, 2, 1, gt, false, 0, {3, 4});
  WriteLayer("g", 1, 2, 0, 0, 1, std::vector<int32_t>{5, 6});
  EXPECT_EQ(Listing(Path("g")), std::vector<std::string>{"layer.tif"});
  EXPECT_EQ(ReadWindow<int32_t>("g"), (std::vector<int32_t>{5, 6}));
}

TEST_F(GridioRoundTripTest, ExitCommitsLayersStillOpen) {
  const double box[4] = {0, 0, 1, 1};
  SetWindow(0, 0, 1, 1, 1);
  const int h = CellLayerCreate(Path("g").c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box);
  const float row[1] = {3.5f};
  ASSERT_EQ(PutWindowRow(h, 0, row), GIO_OK);
  ASSERT_EQ(GridIOExit(), GIO_OK);
  ASSERT_EQ(GridIOSetup(), 1);
  EXPECT_EQ(CellLyrClose(h), GIO_ERR_HANDLE);
  SetWindow(0, 0, 1, 1, 1);
  EXPECT_EQ(ReadWindow<float>("g"), std::vector<float>{3.5f});
}

}  // namespace
