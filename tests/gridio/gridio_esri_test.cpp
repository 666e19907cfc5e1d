#include <cfloat>
#include <cstring>
#include <fstream>

#include <ogr_srs_api.h>

#include "gridio_fixture.h"

namespace {

using namespace gridio_test;

// Big-endian byte images of the numbers GDAL's ESRI grid reader expects.
void PutBE32(std::vector<unsigned char>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<unsigned char>(v >> (24 - 8 * i));
}
void PutBE64(std::vector<unsigned char>& out, size_t at, double d) {
  uint64_t v;
  std::memcpy(&v, &d, 8);
  for (int i = 0; i < 8; ++i) out[at + i] = static_cast<unsigned char>(v >> (56 - 8 * i));
}
void Save(const std::string& file, const std::vector<unsigned char>& bytes) {
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// An uncompressed float ESRI binary grid of one tile: rows x cols cells of
// cell_size with lower-left (x_ll, y_ll), values row 0 = north. Its sta.adf
// deliberately holds wrong statistics.
void WriteEsriFloatGrid(const std::string& dir, int rows, int cols, double x_ll, double y_ll,
                        double cell_size, const std::vector<float>& values) {
  fs::create_directories(dir);
  std::vector<unsigned char> hdr(308, 0);
  std::memcpy(hdr.data(), "GRID1.2", 8);
  PutBE32(hdr, 16, 2);  // float cells
  PutBE32(hdr, 20, 1);  // not compressed
  PutBE64(hdr, 256, cell_size);
  PutBE64(hdr, 264, cell_size);
  PutBE32(hdr, 288, 1);  // tiles per row
  PutBE32(hdr, 292, 1);  // tiles per column
  PutBE32(hdr, 296, cols);
  PutBE32(hdr, 300, 1);
  PutBE32(hdr, 304, rows);
  Save(dir + "/hdr.adf", hdr);

  std::vector<unsigned char> bounds(32);
  PutBE64(bounds, 0, x_ll);
  PutBE64(bounds, 8, y_ll);
  PutBE64(bounds, 16, x_ll + cols * cell_size);
  PutBE64(bounds, 24, y_ll + rows * cell_size);
  Save(dir + "/dblbnd.adf", bounds);

  std::vector<unsigned char> sta(32);
  for (int i = 0; i < 4; ++i) PutBE64(sta, 8 * i, 12345.0);
  Save(dir + "/sta.adf", sta);

  const unsigned char magic[8] = {0x00, 0x00, 0x27, 0x0A, 0xFF, 0xFF, 0xFC, 0x14};
  const uint32_t tile_bytes = static_cast<uint32_t>(values.size() * 4);
  std::vector<unsigned char> data(100 + 2 + tile_bytes, 0);
  std::memcpy(data.data(), magic, 8);
  PutBE32(data, 24, static_cast<uint32_t>(data.size() / 2));
  data[100] = static_cast<unsigned char>((tile_bytes / 2) >> 8);
  data[101] = static_cast<unsigned char>(tile_bytes / 2);
  for (size_t i = 0; i < values.size(); ++i) {
    uint32_t bits;
    std::memcpy(&bits, &values[i], 4);
    PutBE32(data, 102 + 4 * i, bits);
  }
  Save(dir + "/w001001.adf", data);

  std::vector<unsigned char> index(108, 0);
  std::memcpy(index.data(), magic, 8);
  PutBE32(index, 24, static_cast<uint32_t>(index.size() / 2));
  PutBE32(index, 100, 50);              // tile offset in 16-bit words
  PutBE32(index, 104, tile_bytes / 2);  // tile size in 16-bit words
  Save(dir + "/w001001x.adf", index);
}

class GridioEsriTest : public GridioTest {
 protected:
  void SetUp() override {
    GridioTest::SetUp();
    values_ = {1, 2, 3, 4, -FLT_MAX, 6, 7, 8, 9, 10, 11, 12};
    WriteEsriFloatGrid(Path("esri"), 3, 4, 100, 200, 10, values_);
    files_ = Listing(Path("esri"));
  }
  std::vector<float> values_;
  std::vector<std::string> files_;
};

TEST_F(GridioEsriTest, EsriGridIsAFloatLayer) {
  EXPECT_EQ(GridExists(Path("esri").c_str()), 1);
  int32_t type = 0;
  double size = 0;
  const int h = CellLayerOpen(Path("esri").c_str(), GIO_READ, 1, &type, &size);
  ASSERT_GE(h, 0);
  EXPECT_EQ(type, GIO_CELLFLOAT);
  EXPECT_EQ(size, 10.0);
  EXPECT_EQ(CellLyrClose(h), GIO_OK);
}

TEST_F(GridioEsriTest, CellsReadThroughTheWindowWithNodataAsTheMarker) {
  SetWindow(100, 200, 140, 230, 10);
  std::vector<float> expected(values_);
  expected[4] = GIO_MISSING_FLOAT;
  EXPECT_EQ(ReadWindow<float>("esri"), expected);
  SetWindow(110, 200, 130, 210, 10);
  EXPECT_EQ(ReadWindow<int32_t>("esri"), (std::vector<int32_t>{10, 11}));
}

TEST_F(GridioEsriTest, DescribeComputesStatisticsFromTheCells) {
  double size, box[4], stats[4];
  int32_t rc[2], type, classes, reclen;
  ASSERT_EQ(DescribeGridDbl(Path("esri").c_str(), &size, rc, box, stats, &type, &classes, &reclen),
            GIO_OK);
  EXPECT_EQ(rc[0], 3);
  EXPECT_EQ(rc[1], 4);
  EXPECT_EQ(box[0], 100.0);
  EXPECT_EQ(box[3], 230.0);
  // Valid cells 1..12 without 5: mean 73 / 11, not sta.adf's 12345.
  EXPECT_EQ(stats[0], 1.0);
  EXPECT_EQ(stats[1], 12.0);
  EXPECT_DOUBLE_EQ(stats[2], 73.0 / 11.0);
  EXPECT_EQ(Listing(Path("esri")), files_) << "no side files appear";
}

TEST_F(GridioEsriTest, EsriGridIsReadOnly) {
  int32_t type;
  double size;
  const double box[4] = {100, 200, 140, 230};
  EXPECT_EQ(CellLayerOpen(Path("esri").c_str(), GIO_READWRITE, 1, &type, &size), GIO_ERR_READ_ONLY);
  EXPECT_EQ(CellLayerCreate(Path("esri").c_str(), GIO_READWRITE, 1, 2, 10.0, box),
            GIO_ERR_READ_ONLY);
  EXPECT_EQ(CellLyrDelete(Path("esri").c_str()), GIO_ERR_READ_ONLY);
  EXPECT_EQ(Listing(Path("esri")), files_);
  EXPECT_EQ(Listing(dir_.path()).size(), files_.size() + 1);
}

TEST_F(GridioEsriTest, ItsPrjAdfGivesTheCrsOfLayersMadeOnItsWindow) {
  std::ofstream(Path("esri/prj.adf"))
      << "Projection    UTM\nZone          33\nDatum         WGS84\nSpheroid      WGS84\n"
         "Units         METERS\nZunits        NO\nXshift        0.0\nYshift        0.0\n"
         "Parameters\n";
  double size, box[4], stats[4];
  int32_t rc[2], type, classes, reclen;
  ASSERT_EQ(DescribeGridDbl(Path("esri").c_str(), &size, rc, box, stats, &type, &classes, &reclen),
            GIO_OK);
  SetWindow(box[0], box[1], box[2], box[3], size);
  const int h = CellLayerCreate(Path("new").c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, size, box);
  ASSERT_GE(h, 0);
  ASSERT_EQ(CellLyrClose(h), GIO_OK);
  GDALDatasetH ds = GDALOpen(Path("new/layer.tif").c_str(), GA_ReadOnly);
  ASSERT_NE(ds, nullptr);
  OGRSpatialReferenceH srs = OSRNewSpatialReference(GDALGetProjectionRef(ds));
  GDALClose(ds);
  int north = 0;
  EXPECT_EQ(OSRGetUTMZone(srs, &north), 33);
  EXPECT_EQ(north, 1);
  OSRDestroySpatialReference(srs);
}

TEST_F(GridioEsriTest, CopyOfAnEsriGridIsAGeoTiffLayer) {
  ASSERT_EQ(GridCopy(Path("esri").c_str(), Path("tif").c_str()), GIO_OK);
  const Raster r = ReadGeoTiff(Path("tif/layer.tif"));
  EXPECT_EQ(r.type, GDT_Float32);
  EXPECT_EQ(r.gt[0], 100.0);
  EXPECT_EQ(r.gt[3], 230.0);
  EXPECT_EQ(static_cast<float>(r.nodata), -FLT_MAX);
  SetWindow(100, 200, 140, 230, 10);
  EXPECT_EQ(ReadWindow<float>("tif"), ReadWindow<float>("esri"));
}

}  // namespace
