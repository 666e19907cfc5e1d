// Writers killed at named moments of an update in place: whatever the
// moment, the next open finds the layer exactly as it was before the update,
// to the byte count of its raster. Each case names the durability step it
// guards.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "gridio/file_ops/file_ops_shim.h"
#include "gridio/gridio_child.h"
#include "gridio/gridio_fixture.h"

namespace {

using file_ops::Event;
using file_ops::Op;
using namespace gridio_test;

class KillPointTest : public GridioTest {
 protected:
  void TearDown() override {
    file_ops::Unwatch();
    GridioTest::TearDown();
  }

  std::string Root() const { return fs::canonical(dir_.path()).string(); }
  std::string Raster(const std::string& layer) const { return Root() + "/" + layer + "/layer.tif"; }
  std::string Journal(const std::string& layer) const {
    return Root() + "/" + layer + "/.layer.tif.gridio-journal";
  }

  // Runs work in a child that is killed just before the count-th file event
  // that at matches; true when it died so.
  template <typename Match, typename Work>
  bool KillAt(Match at, int count, Work work) {
    const pid_t child = fork();
    if (child == 0) {
      int seen = 0;
      file_ops::Watch(Root(), [&](const Event& e) {
        if (at(e) && ++seen == count) raise(SIGKILL);
        return 0;
      });
      work();
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  }

  struct Rows {
    int first, last;  // [first, last)
    float value;
  };
  // Writes each span of rows of layer, in order, through one read-write
  // handle, then closes it.
  void Update(const std::string& layer, const std::vector<Rows>& spans) {
    int32_t type;
    double size;
    const int h = CellLayerOpen(Path(layer).c_str(), GIO_READWRITE, 1, &type, &size);
    if (h < 0) _exit(2);
    for (const Rows& span : spans) {
      std::vector<float> row(static_cast<size_t>(WindowCols()), span.value);
      for (int r = span.first; r < span.last; ++r)
        if (PutWindowRow(h, r, row.data()) != GIO_OK) _exit(3);
    }
    CellLyrClose(h);
  }

  // The layer's cells as a fresh process reads them.
  std::vector<float> CellsInFreshProcess(const std::string& layer) {
    const std::string out = Path("cells.bin");
    const int status = InFreshProcess([&]() -> int {
      GridIOSetup();
      const std::vector<float> cells = ReadWindow<float>(layer);
      std::ofstream file(out, std::ios::binary);
      file.write(reinterpret_cast<const char*>(cells.data()),
                 static_cast<std::streamsize>(cells.size() * sizeof(float)));
      return 0;
    });
    EXPECT_EQ(status, 0);
    const std::string bytes = FileBytes(out);
    std::vector<float> cells(bytes.size() / sizeof(float));
    std::memcpy(cells.data(), bytes.data(), cells.size() * sizeof(float));
    return cells;
  }
};

bool IsUnlinkOf(const Event& e, const std::string& path) {
  return e.op == Op::kUnlink && e.path == path;
}

// A layer wider than an update keeps in memory over its first 2048 rows, so
// that writing every row flushes once before the close and once at it.
constexpr int kBigRows = 2100;
constexpr int kBigCols = 2048;

class BigLayerKillTest : public KillPointTest {
 protected:
  void SetUp() override {
    KillPointTest::SetUp();
    original_.resize(static_cast<size_t>(kBigRows) * kBigCols);
    for (size_t i = 0; i < original_.size(); ++i) original_[i] = static_cast<float>(i % 1009);
    WriteLayer("g", kBigRows, kBigCols, 0, 0, 1, original_);
  }
  std::vector<float> original_;
};

TEST_F(BigLayerKillTest, BytesJournaledTwiceAreRestoredToTheirFirstCopy) {
  // Rows 0-99 change in the first flush and again in the second, so the
  // journal holds two copies of them: the original, then the first update's.
  ASSERT_TRUE(KillAt([&](const Event& e) { return IsUnlinkOf(e, Journal("g")); }, 1,
                     [&] { Update("g", {{0, kBigRows, -1.0f}, {0, 100, -2.0f}}); }));
  ASSERT_TRUE(fs::exists(Journal("g")));
  EXPECT_EQ(CellsInFreshProcess("g"), original_);
}

TEST_F(BigLayerKillTest, ATornLastJournalSegmentIsIgnored) {
  // Killed as the close's flush is about to force its segment: the segment
  // is written but its raster writes never happened. A power loss may leave
  // such a segment with stale bytes; one is made so here.
  const auto second_journal_sync = [&](const Event& e) {
    return e.op == Op::kSync && e.path == Journal("g");
  };
  ASSERT_TRUE(KillAt(second_journal_sync, 2, [&] { Update("g", {{0, kBigRows, -7.0f}}); }));
  std::string journal = FileBytes(Journal("g"));
  ASSERT_GT(journal.size(), 1000u);
  journal[journal.size() - 100] ^= 0x5a;
  PutFileBytes(Journal("g"), journal);
  EXPECT_EQ(CellsInFreshProcess("g"), original_);
}

class SmallLayerKillTest : public KillPointTest {
 protected:
  void SetUp() override {
    KillPointTest::SetUp();
    SetWindow(0, 0, 64, 64, 1);
  }
};

TEST_F(SmallLayerKillTest, AKilledFirstWriteIntoABlockNeverHeldCutsTheRasterBackToItsSize) {
  // A new layer holds only the strips written: here the first.
  const double box[4] = {0, 0, 64, 64};
  const int h = CellLayerCreate(Path("g").c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box);
  ASSERT_GE(h, 0);
  std::vector<float> row(64, 4.0f);
  for (int r = 0; r < 8; ++r) ASSERT_EQ(PutWindowRow(h, r, row.data()), GIO_OK);
  ASSERT_EQ(CellLyrClose(h), GIO_OK);
  const std::vector<float> before = ReadWindow<float>("g");
  const uint64_t size_before = fs::file_size(Raster("g"));

  ASSERT_TRUE(KillAt([&](const Event& e) { return IsUnlinkOf(e, Journal("g")); }, 1,
                     [&] { Update("g", {{40, 50, 5.0f}}); }));
  ASSERT_GT(fs::file_size(Raster("g")), size_before) << "no block was appended";
  EXPECT_EQ(CellsInFreshProcess("g"), before);
  EXPECT_EQ(fs::file_size(Raster("g")), size_before);
}

TEST_F(SmallLayerKillTest, ChangedBytesThatEndAtTheEndOfTheFileAreJournaled) {
  std::vector<float> cells(64 * 64);
  for (size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<float>(i);
  WriteLayer("g", 64, 64, 0, 0, 1, cells);
  // The last strip ends the file, as GDAL lays out a layer it writes.
  GDALDatasetH ds = GDALOpen(Raster("g").c_str(), GA_ReadOnly);
  ASSERT_NE(ds, nullptr);
  GDALRasterBandH band = GDALGetRasterBand(ds, 1);
  int block_cols, block_rows;
  GDALGetBlockSize(band, &block_cols, &block_rows);
  const int last = (64 + block_rows - 1) / block_rows - 1;
  const std::string key = "_0_" + std::to_string(last);
  const char* offset = GDALGetMetadataItem(band, ("BLOCK_OFFSET" + key).c_str(), "TIFF");
  const char* bytes = GDALGetMetadataItem(band, ("BLOCK_SIZE" + key).c_str(), "TIFF");
  ASSERT_TRUE(offset != nullptr && bytes != nullptr);
  ASSERT_EQ(std::stoull(offset) + std::stoull(bytes), fs::file_size(Raster("g")));
  GDALClose(ds);

  ASSERT_TRUE(KillAt([&](const Event& e) { return IsUnlinkOf(e, Journal("g")); }, 1,
                     [&] { Update("g", {{63, 64, -1.0f}}); }));
  EXPECT_EQ(CellsInFreshProcess("g"), cells);
}

}  // namespace
