// Statistics kept with a layer: reused while the raster is unchanged (the
// cells are not read again, as the process's read count shows), updated
// exactly by writes through the library, and never stale after another
// program rewrites or replaces the raster, however soon after.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "gridio_fixture.h"

namespace {

using namespace gridio_test;

constexpr int kRows = 1024;
constexpr int kCols = 1100;

// Bytes this process has read through read calls so far (page cache
// included), from /proc/self/io.
long long BytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return -1;
}

class GridioKeptStatsTest : public GridioTest {
 protected:
  void SetUp() override {
    GridioTest::SetUp();
    std::vector<float> cells(static_cast<size_t>(kRows) * kCols);
    for (size_t i = 0; i < cells.size(); ++i)
      cells[i] = i % 7 == 0 ? GIO_MISSING_FLOAT : static_cast<float>((i * 37) % 1000) * 0.25f;
    WriteLayer("g", kRows, kCols, 0, 0, 1, cells);
  }

  // DescribeGridDbl's statistics, and the bytes it read.
  std::vector<double> Describe(long long* bytes_read = nullptr) {
    double size, box[4], stats[4];
    int32_t rc[2], type, classes, reclen;
    const long long before = BytesRead();
    EXPECT_EQ(DescribeGridDbl(Path("g").c_str(), &size, rc, box, stats, &type, &classes, &reclen),
              GIO_OK);
    if (bytes_read != nullptr) *bytes_read = BytesRead() - before;
    return std::vector<double>(stats, stats + 4);
  }

  // The statistics of the raster's valid cells as GDAL reads them.
  std::vector<double> Oracle() {
    const Raster r = ReadGeoTiff(Path("g/layer.tif"));
    long double sum = 0, sq = 0;
    long long n = 0;
    double lo = 0, hi = 0;
    for (double v : r.values) {
      if (r.has_nodata && v == r.nodata) continue;
      lo = n == 0 ? v : std::min(lo, v);
      hi = n == 0 ? v : std::max(hi, v);
      sum += v;
      ++n;
    }
    const long double mean = sum / n;
    for (double v : r.values)
      if (!(r.has_nodata && v == r.nodata)) sq += (v - mean) * (v - mean);
    return {lo, hi, static_cast<double>(mean), static_cast<double>(std::sqrt(sq / n))};
  }

  void ExpectNear(const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0], want[0]) << "minimum";
    EXPECT_EQ(got[1], want[1]) << "maximum";
    EXPECT_NEAR(got[2], want[2], 1e-9 * std::fabs(want[2])) << "mean";
    EXPECT_NEAR(got[3], want[3], 1e-9 * want[3]) << "standard deviation";
  }

  // Sets one cell through a read-write open of the library.
  void WriteCell(int row, int col, float value) {
    int32_t type;
    double size;
    const int h = CellLayerOpen(Path("g").c_str(), GIO_READWRITE, 1, &type, &size);
    ASSERT_GE(h, 0);
    std::vector<float> cells(kCols);
    ASSERT_EQ(GetWindowRowFloat(h, row, cells.data()), GIO_OK);
    cells[col] = value;
    ASSERT_EQ(PutWindowRow(h, row, cells.data()), GIO_OK);
    ASSERT_EQ(CellLyrClose(h), GIO_OK);
  }

  // Sets one cell with GDAL itself, in place.
  void GdalWriteCell(int row, int col, float value) {
    GDALDatasetH ds = GDALOpen(Path("g/layer.tif").c_str(), GA_Update);
    ASSERT_NE(ds, nullptr);
    ASSERT_EQ(GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Write, col, row, 1, 1, &value, 1, 1,
                           GDT_Float32, 0, 0),
              CE_None);
    GDALClose(ds);
  }

  // Puts value into the bytes of cell (row, col) of file, a copy of the
  // layer's raster, as a program editing it in place would: same size,
  // same inode.
  void PokeCell(const std::string& file, int row, int col, float value) {
    GDALDatasetH ds = GDALOpen(Path("g/layer.tif").c_str(), GA_ReadOnly);
    ASSERT_NE(ds, nullptr);
    const char* offset = GDALGetMetadataItem(GDALGetRasterBand(ds, 1),
                                             ("BLOCK_OFFSET_0_" + std::to_string(row)).c_str(), "TIFF");
    ASSERT_NE(offset, nullptr) << "not one row per strip";
    const long long at = std::atoll(offset) + 4LL * col;
    GDALClose(ds);
    std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(at);
    f.write(reinterpret_cast<const char*>(&value), sizeof(value));
  }

  const long long layer_bytes_ = 4LL * kRows * kCols;
};

TEST_F(GridioKeptStatsTest, UnchangedLayerIsDescribedWithoutReadingItsCells) {
  long long first = 0, second = 0;
  const std::vector<double> scanned = Describe(&first);
  EXPECT_GE(first, layer_bytes_) << "the first description did not read the cells";
  ExpectNear(scanned, Oracle());
  EXPECT_TRUE(fs::exists(Path("g/.layer.tif.gridio-stats")));
  const std::vector<double> kept = Describe(&second);
  EXPECT_LT(second, layer_bytes_ / 20) << "an unchanged layer was scanned again";
  EXPECT_EQ(kept, scanned);
}

TEST_F(GridioKeptStatsTest, WriteThroughTheLibraryUpdatesThemExactly) {
  Describe();
  WriteCell(500, 600, 5000.0f);
  WriteCell(3, 4, -5000.0f);
  long long bytes = 0;
  const std::vector<double> updated = Describe(&bytes);
  EXPECT_LT(bytes, layer_bytes_ / 20) << "the write did not carry the statistics along";
  // The two rows written were read again once, then kept with the rest.
  long long again = 0;
  EXPECT_EQ(Describe(&again), updated);
  EXPECT_LE(again + 2 * 4LL * kCols, bytes) << "the changed rows were read again";
  EXPECT_EQ(updated[0], -5000.0);
  EXPECT_EQ(updated[1], 5000.0);
  ExpectNear(updated, Oracle());
  // Bit for bit what a scan of the changed layer gives.
  ASSERT_TRUE(fs::remove(Path("g/.layer.tif.gridio-stats")));
  EXPECT_EQ(Describe(&bytes), updated);
  EXPECT_GE(bytes, layer_bytes_);
}

TEST_F(GridioKeptStatsTest, CellRewrittenRightAfterADescriptionIsSeen) {
  // Often within the same tick of the file clock as the description; by
  // GDAL, and by a plain write that keeps the file's size.
  for (int i = 1; i <= 10; ++i) {
    Describe();
    if (i % 2 == 0)
      GdalWriteCell(100, 100, 3000.0f + i);
    else
      PokeCell(Path("g/layer.tif"), 100, 100, 3000.0f + i);
    EXPECT_EQ(Describe()[1], 3000.0 + i) << "stale maximum after rewrite " << i;
  }
  ExpectNear(Describe(), Oracle());
}

TEST_F(GridioKeptStatsTest, RasterCopiedOverWithItsOldTimesIsSeen) {
  const std::vector<double> before = Describe();
  const std::string tif = Path("g/layer.tif");
  struct stat old = {};
  ASSERT_EQ(stat(tif.c_str(), &old), 0);
  // A copy of the raster with one cell changed (same size), copied over
  // it and given back its modification time, as `cp -p` would: only the
  // change time tells.
  fs::copy_file(tif, Path("other.tif"));
  PokeCell(Path("other.tif"), 0, 17, 9999.0f);
  {
    std::ifstream in(Path("other.tif"), std::ios::binary);
    std::ofstream out(tif, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
    out << in.rdbuf();
  }
  const struct timespec times[2] = {old.st_atim, old.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, tif.c_str(), times, 0), 0);
  struct stat now = {};
  ASSERT_EQ(stat(tif.c_str(), &now), 0);
  ASSERT_EQ(now.st_size, old.st_size);
  ASSERT_EQ(now.st_ino, old.st_ino);
  const std::vector<double> after = Describe();
  EXPECT_NE(after, before);
  EXPECT_EQ(after[1], 9999.0);
  ExpectNear(after, Oracle());
}

TEST_F(GridioKeptStatsTest, AStatisticsFileWithAnyByteChangedIsNotBelieved) {
  const std::vector<double> scanned = Describe();
  const std::string kept = Path("g/.layer.tif.gridio-stats");
  std::string bytes;
  {
    std::ifstream in(kept, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_GT(bytes.size(), 200u);
  // Every byte of the head (identity, figures), and bytes spread over the
  // rows' summaries and the checksum; a flipped bit there is what a torn
  // or stale file looks like.
  std::vector<size_t> at;
  for (size_t i = 0; i < 128; ++i) at.push_back(i);
  for (size_t i = 128; i < bytes.size(); i += bytes.size() / 41) at.push_back(i);
  at.push_back(bytes.size() - 1);
  for (size_t i : at) {
    std::string damaged = bytes;
    damaged[i] = static_cast<char>(damaged[i] ^ 0x10);
    {
      std::ofstream out(kept, std::ios::binary | std::ios::trunc);
      out.write(damaged.data(), static_cast<std::streamsize>(damaged.size()));
    }
    EXPECT_EQ(Describe(), scanned) << "byte " << i << " of " << bytes.size();
  }
}

}  // namespace
