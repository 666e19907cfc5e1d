#include <cfloat>

#include "gridio_fixture.h"

namespace {

using namespace gridio_test;

constexpr float kMissF = GIO_MISSING_FLOAT;
constexpr int32_t kMissI = GIO_MISSING_INT;

class GridioConvertTest : public GridioTest {
 protected:
  // A user's raster: one GeoTIFF of any name in a directory of its own,
  // 1 row, values.size() columns of cell size 1 from (0, 0).
  void WriteUserLayer(const std::string& name, GDALDataType type, bool has_nodata, double nodata,
                      const std::vector<double>& values) {
    fs::create_directory(Path(name));
    const double gt[6] = {0, 1, 0, 1, 0, -1};
    WriteGeoTiff(Path(name + "/" + name + ".tif"), type, static_cast<int>(values.size()), 1, gt,
                 has_nodata, nodata, values);
    SetWindow(0, 0, static_cast<double>(values.size()), 1, 1);
  }
};

TEST_F(GridioConvertTest, IntegerLayerReadAsFloatKeepsValuesAndMapsTheMarker) {
  WriteLayer("g", 1, 4, 0, 0, 1, std::vector<int32_t>{5, -3, kMissI, 16777217});
  EXPECT_EQ(ReadWindow<float>("g"), (std::vector<float>{5, -3, kMissF, 16777216.0f}));
}

TEST_F(GridioConvertTest, FloatLayerReadAsIntegerTruncatesTowardZero) {
  WriteLayer("g", 1, 6, 0, 0, 1, std::vector<float>{2.9f, -2.9f, kMissF, 1e20f, NAN, -0.5f});
  // 2.9 -> 2 and -2.9 -> -2 (not rounded, not floored); unrepresentable
  // values and NaN are missing.
  EXPECT_EQ(ReadWindow<int32_t>("g"), (std::vector<int32_t>{2, -2, kMissI, kMissI, kMissI, 0}));
}

TEST_F(GridioConvertTest, NaNInAFloatLayerReadsAsTheFloatMarker) {
  WriteLayer("g", 1, 2, 0, 0, 1, std::vector<float>{NAN, 1.0f});
  EXPECT_EQ(ReadWindow<float>("g"), (std::vector<float>{kMissF, 1.0f}));
}

TEST_F(GridioConvertTest, UsersByteRasterWithNodataIsAnIntegerLayer) {
  WriteUserLayer("dem", GDT_Byte, true, 255, {0, 255, 17});
  int32_t type = 0;
  double size = 0;
  const int h = CellLayerOpen(Path("dem").c_str(), GIO_READ, 1, &type, &size);
  ASSERT_GE(h, 0);
  EXPECT_EQ(type, GIO_CELLINT);
  EXPECT_EQ(CellLyrClose(h), GIO_OK);
  EXPECT_EQ(ReadWindow<int32_t>("dem"), (std::vector<int32_t>{0, kMissI, 17}));
  EXPECT_EQ(ReadWindow<float>("dem"), (std::vector<float>{0, kMissF, 17}));
}

TEST_F(GridioConvertTest, UsersDoubleRasterNodataAndNaNReadAsMissing) {
  WriteUserLayer("d", GDT_Float64, true, -9999, {-9999, NAN, 0.25});
  EXPECT_EQ(ReadWindow<float>("d"), (std::vector<float>{kMissF, kMissF, 0.25f}));
  EXPECT_EQ(ReadWindow<int32_t>("d"), (std::vector<int32_t>{kMissI, kMissI, 0}));
}

TEST_F(GridioConvertTest, RasterWithoutNodataKeepsEveryValue) {
  WriteUserLayer("s", GDT_Int16, false, 0, {-32768, 0, 32767});
  EXPECT_EQ(ReadWindow<int32_t>("s"), (std::vector<int32_t>{-32768, 0, 32767}));
}

TEST_F(GridioConvertTest, MarkerWrittenIntoAUsersLayerBecomesItsOwnNodata) {
  WriteUserLayer("dem", GDT_Byte, true, 255, {1, 2, 3});
  int32_t type;
  double size;
  const int h = CellLayerOpen(Path("dem").c_str(), GIO_READWRITE, 1, &type, &size);
  ASSERT_GE(h, 0);
  const int32_t row[3] = {kMissI, 7, 8};
  ASSERT_EQ(PutWindowRow(h, 0, row), GIO_OK);
  ASSERT_EQ(CellLyrClose(h), GIO_OK);
  // The file keeps its name, type and nodata.
  const Raster r = ReadGeoTiff(Path("dem/dem.tif"));
  EXPECT_EQ(r.type, GDT_Byte);
  EXPECT_EQ(r.values, (std::vector<double>{255, 7, 8}));
  EXPECT_EQ(Listing(Path("dem")), std::vector<std::string>{"dem.tif"});
}

TEST_F(GridioConvertTest, MarkerWrittenIntoANaNNodataLayerBecomesNaN) {
  WriteUserLayer("n", GDT_Float32, true, NAN, {1, 2});
  int32_t type;
  double size;
  const int h = CellLayerOpen(Path("n").c_str(), GIO_READWRITE, 1, &type, &size);
  ASSERT_GE(h, 0);
  const float row[2] = {kMissF, 4};
  ASSERT_EQ(PutWindowRow(h, 0, row), GIO_OK);
  ASSERT_EQ(CellLyrClose(h), GIO_OK);
  const Raster r = ReadGeoTiff(Path("n/n.tif"));
  EXPECT_TRUE(std::isnan(r.values[0]));
  EXPECT_EQ(r.values[1], 4);
}

TEST_F(GridioConvertTest, SouthUpRasterIsReadNorthFirst) {
  fs::create_directory(Path("s"));
  // Row 0 of this file is the southern row.
  const double gt[6] = {0, 1, 0, 0, 0, 1};
  WriteGeoTiff(Path("s/s.tif"), GDT_Int32, 1, 3, gt, false, 0, {1, 2, 3});
  SetWindow(0, 0, 1, 3, 1);
  EXPECT_EQ(ReadWindow<int32_t>("s"), (std::vector<int32_t>{3, 2, 1}));
}

}  // namespace
