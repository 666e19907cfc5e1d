// Read-write opens change a layer's raster where it lies: the same file
// (inode) afterwards, only changed bytes written, writers taking turns, a
// killed writer's update undone by the next open, and layers that cannot be
// changed in place converted once. GDAL, reading the files directly, is the
// oracle.
#include <sys/stat.h>

#include <cpl_string.h>

#include <fstream>

#include "gridio_child.h"
#include "gridio_fixture.h"

namespace {

using namespace gridio_test;

constexpr float kMissF = GIO_MISSING_FLOAT;

struct stat StatOf(const std::string& file) {
  struct stat st = {};
  EXPECT_EQ(stat(file.c_str(), &st), 0) << file;
  return st;
}

class GridioInPlaceTest : public GridioTest {
 protected:
  // A float layer of rows x cols through a window equal to it, cell i
  // holding i % 101.
  void MakeLayer(const std::string& name, int rows, int cols) {
    rows_ = rows;
    cols_ = cols;
    std::vector<float> cells(static_cast<size_t>(rows) * cols);
    for (size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<float>(i % 101);
    WriteLayer(name, rows, cols, 0, 0, 1, cells);
  }

  // Sets columns [col, col + count) of rows [row, row + rows) to value
  // through one read-write open, reading and writing back whole rows.
  int WriteBlock(const std::string& name, int row, int rows, int col, int count, float value) {
    int32_t type;
    double size;
    const int h = CellLayerOpen(Path(name).c_str(), GIO_READWRITE, 1, &type, &size);
    if (h < 0) return h;
    std::vector<float> cells(WindowCols());
    for (int r = row; r < row + rows; ++r) {
      if (GetWindowRowFloat(h, r, cells.data()) != GIO_OK) return -100;
      std::fill(cells.begin() + col, cells.begin() + col + count, value);
      if (PutWindowRow(h, r, cells.data()) != GIO_OK) return -101;
    }
    return CellLyrClose(h);
  }

  // Whether GDAL sees cell i as i % 101, except value inside the block.
  ::testing::AssertionResult Holds(const std::string& file, int row, int rows, int col, int count,
                                   float value) {
    const Raster r = ReadGeoTiff(file);
    for (int y = 0; y < r.rows; ++y)
      for (int x = 0; x < r.cols; ++x) {
        const size_t i = static_cast<size_t>(y) * r.cols + x;
        const bool inside = y >= row && y < row + rows && x >= col && x < col + count;
        const double expected = inside ? value : static_cast<double>(i % 101);
        if (r.values[i] != expected)
          return ::testing::AssertionFailure()
                 << "cell " << y << "," << x << " is " << r.values[i] << ", not " << expected;
      }
    return ::testing::AssertionSuccess();
  }

  int rows_ = 0, cols_ = 0;
};

TEST_F(GridioInPlaceTest, BlockWriteChangesTheRasterWhereItLies) {
  // Tiled (wide) and striped layers.
  for (const int cols : {8200, 300}) {
    const std::string name = "g" + std::to_string(cols);
    MakeLayer(name, 300, cols);
    const std::string tif = Path(name + "/layer.tif");
    const struct stat before = StatOf(tif);
    ASSERT_EQ(WriteBlock(name, 10, 50, 100, 150, 5.0f), GIO_OK);
    const struct stat after = StatOf(tif);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the raster was replaced, not updated";
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_TRUE(Holds(tif, 10, 50, 100, 150, 5.0f));
    EXPECT_EQ(Listing(Path(name)), std::vector<std::string>{"layer.tif"}) << "journal left";
  }
}

TEST_F(GridioInPlaceTest, RowsWrittenBackUnchangedWriteNothing) {
  MakeLayer("g", 300, 8200);
  const std::string tif = Path("g/layer.tif");
  const struct stat before = StatOf(tif);
  ASSERT_EQ(WriteBlock("g", 0, 300, 0, 0, 0.0f), GIO_OK);
  const struct stat after = StatOf(tif);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec) << "unchanged cells were rewritten";
}

TEST_F(GridioInPlaceTest, NewLayerHoldsOnlyTheBlocksWritten) {
  SetWindow(0, 0, 9000, 3000, 1);
  const double box[4] = {0, 0, 9000, 3000};
  const int h = CellLayerCreate(Path("s").c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box);
  ASSERT_GE(h, 0);
  ASSERT_EQ(CellLyrClose(h), GIO_OK);
  const std::string tif = Path("s/layer.tif");
  EXPECT_LT(StatOf(tif).st_size, 200 << 10) << "a new layer materialised its missing cells";
  ASSERT_EQ(WriteBlock("s", 1000, 300, 1000, 300, 2.5f), GIO_OK);
  // 3 x 3 tiles of 256 x 256 floats hold the block.
  EXPECT_LT(StatOf(tif).st_size, 3 << 20);
  GDALDatasetH ds = GDALOpen(tif.c_str(), GA_ReadOnly);
  ASSERT_NE(ds, nullptr);
  GDALRasterBandH band = GDALGetRasterBand(ds, 1);
  EXPECT_EQ(GDALGetMetadataItem(band, "BLOCK_OFFSET_0_0", "TIFF"), nullptr);
  EXPECT_NE(GDALGetMetadataItem(band, "BLOCK_OFFSET_4_4", "TIFF"), nullptr);
  int has = 0;
  EXPECT_EQ(GDALGetRasterNoDataValue(band, &has), kMissF);
  EXPECT_TRUE(has);
  std::vector<float> cells(9000);
  for (const int row : {0, 999, 1000, 1299, 1300, 2999}) {
    ASSERT_EQ(GDALRasterIO(band, GF_Read, 0, row, 9000, 1, cells.data(), 9000, 1, GDT_Float32, 0, 0),
              CE_None);
    for (int c = 0; c < 9000; ++c) {
      const bool inside = row >= 1000 && row < 1300 && c >= 1000 && c < 1300;
      ASSERT_EQ(cells[c], inside ? 2.5f : kMissF) << "GDAL reads cell " << row << "," << c;
    }
  }
  GDALClose(ds);
}

TEST_F(GridioInPlaceTest, SecondWriterInThisProcessIsRefusedUntilTheFirstCloses) {
  MakeLayer("g", 20, 20);
  int32_t type;
  double size;
  const int first = CellLayerOpen(Path("g").c_str(), GIO_READWRITE, 1, &type, &size);
  ASSERT_GE(first, 0);
  EXPECT_EQ(CellLayerOpen(Path("g").c_str(), GIO_READWRITE, 1, &type, &size), GIO_ERR_OPEN);
  const int reader = CellLayerOpen(Path("g").c_str(), GIO_READ, 1, &type, &size);
  EXPECT_GE(reader, 0) << "readers do not wait for writers";
  EXPECT_EQ(CellLyrClose(reader), GIO_OK);
  ASSERT_EQ(CellLyrClose(first), GIO_OK);
  const int again = CellLayerOpen(Path("g").c_str(), GIO_READWRITE, 1, &type, &size);
  EXPECT_GE(again, 0);
  EXPECT_EQ(CellLyrClose(again), GIO_OK);
}

TEST_F(GridioInPlaceTest, WriterInAnotherProcessWaitsForTheFirstToClose) {
  MakeLayer("g", 20, 20);
  const std::string layer = Path("g");
  Child first = StartChild([&](int fd) -> int {
    int32_t type;
    double size;
    const int h = CellLayerOpen(layer.c_str(), GIO_READWRITE, 1, &type, &size);
    if (h < 0) return 2;
    std::vector<float> row(20);
    if (GetWindowRowFloat(h, 0, row.data()) != GIO_OK) return 3;
    std::fill(row.begin(), row.begin() + 10, 1000.0f);
    if (PutWindowRow(h, 0, row.data()) != GIO_OK) return 4;
    Report(fd, 1);
    SleepMicroseconds(300000);
    return CellLyrClose(h) == GIO_OK ? 0 : 5;
  });
  int32_t step = 0;
  ASSERT_EQ(read(first.reports, &step, sizeof(step)), static_cast<ssize_t>(sizeof(step)));
  // Opened while the child still writes: this open waits, so its row 0 is
  // the child's, and writing it back loses nothing.
  ASSERT_EQ(WriteBlock("g", 0, 1, 10, 10, 2000.0f), GIO_OK);
  int status = 0;
  waitpid(first.pid, &status, 0);
  close(first.reports);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::vector<float> cells = ReadWindow<float>("g");
  for (int c = 0; c < 20; ++c)
    EXPECT_EQ(cells[c], c < 10 ? 1000.0f : 2000.0f) << "column " << c << " of row 0";
}

class GridioHotJournalTest : public GridioInPlaceTest {
 protected:
  // A child that rewrites every row of a layer too large for an update to
  // keep in memory and is killed before its close: the raster then holds
  // flushed rows of the update, and its journal.
  void KilledMidUpdate() {
    MakeLayer("g", 2000, 2500);
    const std::string layer = Path("g");
    Child child = StartChild([&](int) -> int {
      int32_t type;
      double size;
      const int h = CellLayerOpen(layer.c_str(), GIO_READWRITE, 1, &type, &size);
      if (h < 0) return 2;
      std::vector<float> row(2500, -1.0f);
      for (int r = 0; r < 2000; ++r)
        if (PutWindowRow(h, r, row.data()) != GIO_OK) return 3;
      raise(SIGKILL);
      return 0;
    });
    int status = 0;
    waitpid(child.pid, &status, 0);
    close(child.reports);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed with " << WEXITSTATUS(status);
  }
};

TEST_F(GridioHotJournalTest, OtherReadersSeeTheKilledUpdateUntilTheNextOpenUndoesIt) {
  KilledMidUpdate();
  const std::string tif = Path("g/layer.tif");
  EXPECT_TRUE(fs::exists(Path("g/.layer.tif.gridio-journal")));
  EXPECT_FALSE(Holds(tif, 0, 0, 0, 0, 0)) << "nothing of the update reached the raster";
  // Any open by the library plays the journal back.
  EXPECT_EQ(GridExists(Path("g").c_str()), 1);
  EXPECT_TRUE(Holds(tif, 0, 0, 0, 0, 0));
  EXPECT_EQ(Listing(Path("g")), std::vector<std::string>{"layer.tif"});
}

TEST_F(GridioHotJournalTest, JournalOfARasterReplacedSinceIsDropped) {
  KilledMidUpdate();
  // Another program puts a new raster in place before the library looks.
  const double gt[6] = {0, 1, 0, 2000, 0, -1};
  WriteGeoTiff(Path("new.tif"), GDT_Float32, 2500, 2000, gt, false, 0,
               std::vector<double>(2500 * 2000, 3.0));
  fs::rename(Path("new.tif"), Path("g/layer.tif"));
  EXPECT_EQ(GridExists(Path("g").c_str()), 1);
  const Raster r = ReadGeoTiff(Path("g/layer.tif"));
  EXPECT_EQ(std::count(r.values.begin(), r.values.end(), 3.0), 2500 * 2000)
      << "the old raster's journal was played into the new one";
  EXPECT_FALSE(fs::exists(Path("g/.layer.tif.gridio-journal")));
}

TEST_F(GridioInPlaceTest, CompressedLayerIsConvertedOnceThenUpdatedInPlace) {
  fs::create_directory(Path("z"));
  std::vector<double> values(300 * 2100);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<double>(i % 101);
  const double gt[6] = {0, 1, 0, 300, 0, -1};
  GDALDatasetH ds = GDALCreate(GDALGetDriverByName("GTiff"), Path("z/dem.tif").c_str(), 2100, 300,
                               1, GDT_Float32, nullptr);
  ASSERT_NE(ds, nullptr);
  GDALSetGeoTransform(ds, const_cast<double*>(gt));
  ASSERT_EQ(GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Write, 0, 0, 2100, 300, values.data(), 2100,
                         300, GDT_Float64, 0, 0),
            CE_None);
  char* options[] = {const_cast<char*>("COMPRESS=LZW"), nullptr};
  GDALDatasetH lzw = GDALCreateCopy(GDALGetDriverByName("GTiff"), Path("lzw.tif").c_str(), ds,
                                    FALSE, options, nullptr, nullptr);
  GDALClose(ds);
  GDALClose(lzw);
  fs::rename(Path("lzw.tif"), Path("z/dem.tif"));
  SetWindow(0, 0, 2100, 300, 1);
  ASSERT_EQ(WriteBlock("z", 5, 10, 7, 20, 9.0f), GIO_OK);
  const std::string tif = Path("z/dem.tif");
  EXPECT_TRUE(Holds(tif, 5, 10, 7, 20, 9.0f));
  ds = GDALOpen(tif.c_str(), GA_ReadOnly);
  ASSERT_NE(ds, nullptr);
  EXPECT_EQ(GDALGetMetadataItem(ds, "COMPRESSION", "IMAGE_STRUCTURE"), nullptr);
  GDALClose(ds);
  EXPECT_EQ(Listing(Path("z")), std::vector<std::string>{"dem.tif"});
  const struct stat converted = StatOf(tif);
  ASSERT_EQ(WriteBlock("z", 5, 10, 7, 20, 11.0f), GIO_OK);
  EXPECT_EQ(StatOf(tif).st_ino, converted.st_ino) << "converted again";
  EXPECT_TRUE(Holds(tif, 5, 10, 7, 20, 11.0f));
}

TEST_F(GridioInPlaceTest, BigEndianShortIntegersAreUpdatedInPlace) {
  fs::create_directory(Path("b"));
  std::vector<double> values(40 * 30);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<double>(i % 101);
  const double gt[6] = {0, 1, 0, 40, 0, -1};
  char* options[] = {const_cast<char*>("ENDIANNESS=BIG"), nullptr};
  GDALDatasetH ds = GDALCreate(GDALGetDriverByName("GTiff"), Path("b/b.tif").c_str(), 30, 40, 1,
                               GDT_Int16, options);
  ASSERT_NE(ds, nullptr);
  GDALSetGeoTransform(ds, const_cast<double*>(gt));
  ASSERT_EQ(GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Write, 0, 0, 30, 40, values.data(), 30, 40,
                         GDT_Float64, 0, 0),
            CE_None);
  GDALClose(ds);
  const std::string tif = Path("b/b.tif");
  const struct stat before = StatOf(tif);
  SetWindow(0, 0, 30, 40, 1);
  int32_t type;
  double size;
  const int h = CellLayerOpen(Path("b").c_str(), GIO_READWRITE, 1, &type, &size);
  ASSERT_GE(h, 0);
  ASSERT_EQ(type, GIO_CELLINT);
  std::vector<int32_t> row(30);
  ASSERT_EQ(GetWindowRowInt(h, 3, row.data()), GIO_OK);
  std::fill(row.begin() + 2, row.begin() + 6, -300);
  ASSERT_EQ(PutWindowRow(h, 3, row.data()), GIO_OK);
  ASSERT_EQ(CellLyrClose(h), GIO_OK);
  EXPECT_EQ(StatOf(tif).st_ino, before.st_ino);
  EXPECT_TRUE(Holds(tif, 3, 1, 2, 4, -300.0f));
}

}  // namespace

namespace {

TEST_F(GridioInPlaceTest, DamagedJournalsAreDroppedWithoutTouchingTheRaster) {
  MakeLayer("g", 40, 30);
  const std::string journal = Path("g/.layer.tif.gridio-journal");
  const std::vector<std::string> contents = {
      std::string("gridio-rollback1"),                       // header cut short
      std::string("gridio-rollback1\x09\0\0\0layer.tif", 29),  // no identity
      std::string(5000, '\xff'),                              // not a journal
  };
  for (const std::string& bytes : contents) {
    std::ofstream(journal, std::ios::binary) << bytes;
    EXPECT_EQ(GridExists(Path("g").c_str()), 1);
    EXPECT_TRUE(Holds(Path("g/layer.tif"), 0, 0, 0, 0, 0));
    EXPECT_FALSE(fs::exists(journal));
    // A writer finding one starts afresh too.
    std::ofstream(journal, std::ios::binary) << bytes;
    EXPECT_EQ(WriteBlock("g", 1, 2, 3, 4, 8.0f), GIO_OK);
    EXPECT_TRUE(Holds(Path("g/layer.tif"), 1, 2, 3, 4, 8.0f));
    MakeLayer("g", 40, 30);
  }
}

}  // namespace
