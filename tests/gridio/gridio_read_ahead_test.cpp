// Whole compressed layers read row by row, where a second thread decodes
// chunks of rows ahead of the reader: every access pattern must give exactly
// the rows GDAL itself reads, also when the reader jumps about, stops early
// or meets a damaged strip.
#include <cpl_conv.h>
#include <cpl_string.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gridio_fixture.h"

namespace gridio_test {
namespace {

constexpr int kRows = 700;
constexpr int kCols = 37;
constexpr float kNodata = -9999.0f;

class GridioReadAheadTest : public GridioTest {
 protected:
  // A float layer "g" of kRows x kCols cells with creation options, some
  // cells no-data; the window is set to it.
  void MakeLayer(const std::vector<const char*>& options) {
    fs::create_directories(Path("g"));
    file_ = Path("g/layer.tif");
    std::vector<const char*> list(options);
    list.push_back(nullptr);
    GDALDatasetH ds = GDALCreate(GDALGetDriverByName("GTiff"), file_.c_str(), kCols, kRows, 1,
                                 GDT_Float32, const_cast<char**>(list.data()));
    ASSERT_NE(ds, nullptr);
    double gt[6] = {0, 1, 0, kRows, 0, -1};
    GDALSetGeoTransform(ds, gt);
    GDALRasterBandH band = GDALGetRasterBand(ds, 1);
    GDALSetRasterNoDataValue(band, kNodata);
    std::vector<float> values(kRows * kCols);
    for (int i = 0; i < kRows * kCols; ++i)
      values[i] = i % 23 == 0 ? kNodata : static_cast<float>((i * 7919) % 10007) / 8.0f;
    ASSERT_EQ(GDALRasterIO(band, GF_Write, 0, 0, kCols, kRows, values.data(), kCols, kRows,
                           GDT_Float32, 0, 0),
              CE_None);
    GDALClose(ds);
    expected_.assign(values.begin(), values.end());
    for (float& v : expected_)
      if (v == kNodata) v = GIO_MISSING_FLOAT;
    SetWindow(0, 0, kCols, kRows, 1);
  }

  int Open() {
    int32_t type = 0;
    double size = 0;
    return CellLayerOpen(Path("g").c_str(), GIO_READ, 1, &type, &size);
  }

  // Reads the rows in order through handle and checks each against GDAL.
  void ExpectRows(int handle, const std::vector<int>& rows) {
    std::vector<float> row(kCols);
    for (int r : rows) {
      ASSERT_EQ(GetWindowRowFloat(handle, r, row.data()), GIO_OK) << "row " << r;
      const std::vector<float> want(expected_.begin() + r * kCols,
                                    expected_.begin() + (r + 1) * kCols);
      ASSERT_EQ(row, want) << "row " << r;
    }
  }

  static std::vector<int> Range(int from, int to, int step = 1) {
    std::vector<int> rows;
    for (int r = from; r < to; r += step) rows.push_back(r);
    return rows;
  }

  std::string file_;
  std::vector<float> expected_;
};

TEST_F(GridioReadAheadTest, StripsOfOneRowAndOfSeveralRowsReadAsGdalReadsThem) {
  for (const char* rows_per_strip : {"BLOCKYSIZE=1", "BLOCKYSIZE=5"}) {
    for (const char* compress : {"COMPRESS=LZW", "COMPRESS=DEFLATE"}) {
      SCOPED_TRACE(std::string(compress) + " " + rows_per_strip);
      MakeLayer({compress, rows_per_strip});
      const int handle = Open();
      ASSERT_GE(handle, 0);
      ExpectRows(handle, Range(0, kRows));
      EXPECT_EQ(CellLyrClose(handle), GIO_OK);
    }
  }
}

TEST_F(GridioReadAheadTest, TiledLayerReadsAsGdalReadsIt) {
  MakeLayer({"COMPRESS=LZW", "TILED=YES", "BLOCKXSIZE=16", "BLOCKYSIZE=16"});
  const int handle = Open();
  ASSERT_GE(handle, 0);
  ExpectRows(handle, Range(0, kRows));
  EXPECT_EQ(CellLyrClose(handle), GIO_OK);
}

TEST_F(GridioReadAheadTest, ReaderThatJumpsAboutStillGetsEveryRowRight) {
  MakeLayer({"COMPRESS=LZW"});
  const int handle = Open();
  ASSERT_GE(handle, 0);
  // In order long enough to start the read-ahead, then back to the top, a
  // skip far ahead, every third row, and backwards.
  ExpectRows(handle, Range(0, 60));
  ExpectRows(handle, Range(0, 10));
  ExpectRows(handle, Range(500, 520));
  ExpectRows(handle, Range(100, kRows, 3));
  std::vector<int> backwards;
  for (int r = kRows - 1; r >= 0; r -= 7) backwards.push_back(r);
  ExpectRows(handle, backwards);
  ExpectRows(handle, Range(0, kRows));
  EXPECT_EQ(CellLyrClose(handle), GIO_OK);
}

TEST_F(GridioReadAheadTest, ClosingMidwayStopsTheReadAheadAndLeavesTheLayerReadable) {
  MakeLayer({"COMPRESS=LZW"});
  for (int stop : {9, 45, 200}) {
    const int handle = Open();
    ASSERT_GE(handle, 0);
    ExpectRows(handle, Range(0, stop));
    EXPECT_EQ(CellLyrClose(handle), GIO_OK);
  }
  // Two layers open at once, each with its own read-ahead.
  const int a = Open();
  const int b = Open();
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  for (int r = 0; r < kRows; ++r) {
    ExpectRows(a, {r});
    ExpectRows(b, {r});
  }
  EXPECT_EQ(CellLyrClose(a), GIO_OK);
  EXPECT_EQ(CellLyrClose(b), GIO_OK);
}

TEST_F(GridioReadAheadTest, DamagedStripFailsItsRowAndNoOther) {
  MakeLayer({"COMPRESS=DEFLATE", "BLOCKYSIZE=1"});
  const int damaged = 400;
  vsi_l_offset offset = 0;
  {
    GDALDatasetH ds = GDALOpen(file_.c_str(), GA_ReadOnly);
    ASSERT_NE(ds, nullptr);
    const std::string key = "BLOCK_OFFSET_0_" + std::to_string(damaged);
    const char* at = GDALGetMetadataItem(GDALGetRasterBand(ds, 1), key.c_str(), "TIFF");
    ASSERT_NE(at, nullptr);
    offset = static_cast<vsi_l_offset>(CPLAtoGIntBig(at));
    GDALClose(ds);
  }
  std::FILE* f = std::fopen(file_.c_str(), "r+b");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fseek(f, static_cast<long>(offset), SEEK_SET), 0);
  const char garbage[16] = {'\x13', '\x37', '\x00', '\x7f', '\x55', '\x55', '\x55', '\x55',
                            '\x55', '\x55', '\x55', '\x55', '\x55', '\x55', '\x55', '\x55'};
  ASSERT_EQ(std::fwrite(garbage, 1, sizeof garbage, f), sizeof garbage);
  std::fclose(f);

  const int handle = Open();
  ASSERT_GE(handle, 0);
  ExpectRows(handle, Range(0, damaged));
  std::vector<float> row(kCols);
  EXPECT_EQ(GetWindowRowFloat(handle, damaged, row.data()), GIO_ERR_READ);
  ExpectRows(handle, Range(damaged + 1, kRows));
  EXPECT_EQ(CellLyrClose(handle), GIO_OK);
}

}  // namespace
}  // namespace gridio_test
