// Writers killed with SIGKILL at random moments, over and over: whatever
// the moment, a fresh process must find the layer as it was before the
// killed update or as it is after it, never anything in between. The
// moments are drawn from a fixed seed, so a failure repeats.
#include <chrono>
#include <random>

#include "gridio_child.h"
#include "gridio_fixture.h"

namespace {

using namespace gridio_test;

// Large enough that an update of many rows flushes to the raster before
// its close.
constexpr int kRows = 2000;
constexpr int kCols = 2500;

struct Block {
  int row, col, rows, cols;
  float value;
};

// The updates the writer makes, in order: blocks of every height, some
// taller than what an update keeps in memory.
std::vector<Block> Updates(int count) {
  std::mt19937 rng(20240613);
  std::vector<Block> blocks;
  for (int k = 0; k < count; ++k) {
    Block b;
    b.rows = std::uniform_int_distribution<int>(1, kRows)(rng);
    b.cols = std::uniform_int_distribution<int>(1, kCols)(rng);
    b.row = std::uniform_int_distribution<int>(0, kRows - b.rows)(rng);
    b.col = std::uniform_int_distribution<int>(0, kCols - b.cols)(rng);
    b.value = static_cast<float>(k + 1);
    blocks.push_back(b);
  }
  return blocks;
}

void Apply(const Block& b, std::vector<float>* cells) {
  for (int r = b.row; r < b.row + b.rows; ++r)
    std::fill(cells->begin() + static_cast<size_t>(r) * kCols + b.col,
              cells->begin() + static_cast<size_t>(r) * kCols + b.col + b.cols, b.value);
}

// Reads, merges and writes back each row of the block, as the grid
// server's block write does; false on any failure.
bool WriteBlock(const std::string& layer, const Block& b) {
  int32_t type;
  double size;
  const int h = CellLayerOpen(layer.c_str(), GIO_READWRITE, 1, &type, &size);
  if (h < 0) return false;
  std::vector<float> row(kCols);
  for (int r = b.row; r < b.row + b.rows; ++r) {
    if (GetWindowRowFloat(h, r, row.data()) != GIO_OK) return false;
    std::fill(row.begin() + b.col, row.begin() + b.col + b.cols, b.value);
    if (PutWindowRow(h, r, row.data()) != GIO_OK) return false;
  }
  return CellLyrClose(h) == GIO_OK;
}

// How long work takes in a child run to its end, in microseconds: kill
// moments are drawn within it, so that they land inside the work however
// fast the machine is.
template <typename Work>
long Span(Work work) {
  const auto start = std::chrono::steady_clock::now();
  const Child child = StartChild([&](int fd) -> int { return work(fd); });
  int status = 0;
  waitpid(child.pid, &status, 0);
  close(child.reports);
  return static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count());
}

class GridioCrashTest : public GridioTest {
 protected:
  void SetUp() override {
    GridioTest::SetUp();
    SetWindow(0, 0, kCols, kRows, 1);
  }

  // Every cell of the layer read in a fresh process: 0 when it equals
  // first, 1 when it equals second, 2 when neither, 3 when unreadable.
  int StateIn(const std::string& name, const std::vector<float>& first,
              const std::vector<float>& second) {
    return InFreshProcess([&]() -> int {
      if (GridExists(Path(name).c_str()) != 1) return 3;
      const std::vector<float> cells = ReadWindow<float>(name);
      if (cells == first) return 0;
      if (cells == second) return 1;
      return 2;
    });
  }

  std::mt19937 moments_{7};
};

TEST_F(GridioCrashTest, BlockWritesKilledAtRandomMomentsLeaveEachUpdateWhole) {
  // Tiled by GDAL, as big layers from elsewhere usually are.
  std::vector<float> before(static_cast<size_t>(kRows) * kCols);
  for (size_t i = 0; i < before.size(); ++i) before[i] = -static_cast<float>(i % 997);
  fs::create_directory(Path("g"));
  char* options[] = {const_cast<char*>("TILED=YES"), nullptr};
  GDALDatasetH ds = GDALCreate(GDALGetDriverByName("GTiff"), Path("g/layer.tif").c_str(), kCols,
                               kRows, 1, GDT_Float32, options);
  ASSERT_NE(ds, nullptr);
  const double gt[6] = {0, 1, 0, kRows, 0, -1};
  GDALSetGeoTransform(ds, const_cast<double*>(gt));
  ASSERT_EQ(GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Write, 0, 0, kCols, kRows, before.data(),
                         kCols, kRows, GDT_Float32, 0, 0),
            CE_None);
  GDALClose(ds);
  const std::vector<Block> updates = Updates(400);
  const std::string layer = Path("g");
  int done = 0;  // updates the layer holds
  std::vector<float> after = before;
  Apply(updates[0], &after);
  int kills_inside = 0;
  for (int round = 0; round < 24 && done + 1 < static_cast<int>(updates.size()); ++round) {
    const int start = done;
    Child writer = StartChild([&](int fd) -> int {
      for (int k = start; k < static_cast<int>(updates.size()); ++k) {
        if (!WriteBlock(layer, updates[k])) return 2;
        Report(fd, k + 1);
      }
      return 0;
    });
    ASSERT_GT(writer.pid, 0);
    SleepMicroseconds(std::uniform_int_distribution<long>(0, 250000)(moments_));
    const int reported = KillAndReap(writer, start);
    ASSERT_LT(reported, static_cast<int>(updates.size())) << "the writer ran out of updates";
    // The layer holds `reported` updates, or one more that finished
    // before the writer could tell.
    while (done < reported) {
      before = after;
      ++done;
      Apply(updates[done], &after);
    }
    const int state = StateIn("g", before, after);
    ASSERT_TRUE(state == 0 || state == 1)
        << "round " << round << ": after " << done << " updates the layer is "
        << (state == 2 ? "a mix of them" : "unreadable");
    if (state == 0) ++kills_inside;
    if (state == 1) {
      before = after;
      ++done;
      Apply(updates[done], &after);
    }
  }
  // Most kills must land inside an update, or the test proves little.
  EXPECT_GE(kills_inside, 12);
}

TEST_F(GridioCrashTest, CreatesKilledAtRandomMomentsLeaveNoLayerOrAWholeOne) {
  const std::vector<float> none(static_cast<size_t>(kRows) * kCols, 7.0f);
  std::string layer;
  auto create = [&](int fd) -> int {
    const double box[4] = {0, 0, kCols, kRows};
    const int h = CellLayerCreate(layer.c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box);
    if (h < 0) return 2;
    std::vector<float> row(kCols, 7.0f);
    for (int r = 0; r < kRows; ++r)
      if (PutWindowRow(h, r, row.data()) != GIO_OK) return 3;
    if (CellLyrClose(h) != GIO_OK) return 4;
    Report(fd, 1);
    return 0;
  };
  layer = Path("timed");
  const long span = Span(create);
  int whole = 0;
  for (int round = 0; round < 6; ++round) {
    const std::string name = "c" + std::to_string(round);
    layer = Path(name);
    Child writer = StartChild(create);
    SleepMicroseconds(std::uniform_int_distribution<long>(0, span * 9 / 10)(moments_));
    const int reported = KillAndReap(writer, 0);
    const int state = StateIn(name, none, none);
    if (state == 3) {
      EXPECT_EQ(reported, 0) << "round " << round << ": a created layer vanished";
    } else {
      EXPECT_EQ(state, 0) << "round " << round << ": a created layer is incomplete";
      ++whole;
    }
  }
  EXPECT_LT(whole, 6) << "no kill landed inside a create";
}

TEST_F(GridioCrashTest, FirstWritesToCompressedLayersKilledAtRandomMomentsLeaveThemWhole) {
  std::vector<double> values(static_cast<size_t>(kRows) * kCols);
  std::vector<float> before(values.size());
  for (size_t i = 0; i < values.size(); ++i) before[i] = static_cast<float>(values[i] = i % 313);
  const Block block{300, 400, 900, 1500, 55.0f};
  std::vector<float> after = before;
  Apply(block, &after);
  const double gt[6] = {0, 1, 0, kRows, 0, -1};
  auto compressed = [&](const std::string& name) {
    fs::create_directory(Path(name));
    GDALDriverH driver = GDALGetDriverByName("GTiff");
    char* options[] = {const_cast<char*>("COMPRESS=DEFLATE"), nullptr};
    GDALDatasetH ds = GDALCreate(driver, Path(name + "/dem.tif").c_str(), kCols, kRows, 1,
                                 GDT_Float32, options);
    ASSERT_NE(ds, nullptr);
    GDALSetGeoTransform(ds, const_cast<double*>(gt));
    ASSERT_EQ(GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Write, 0, 0, kCols, kRows, values.data(),
                           kCols, kRows, GDT_Float64, 0, 0),
              CE_None);
    GDALClose(ds);
  };
  std::string layer;
  auto first_write = [&](int fd) -> int {
    if (!WriteBlock(layer, block)) return 2;
    Report(fd, 1);
    return 0;
  };
  compressed("timed");
  layer = Path("timed");
  const long span = Span(first_write);
  int inside = 0;
  for (int round = 0; round < 6; ++round) {
    const std::string name = "z" + std::to_string(round);
    compressed(name);
    layer = Path(name);
    Child writer = StartChild(first_write);
    SleepMicroseconds(std::uniform_int_distribution<long>(0, span * 9 / 10)(moments_));
    const int reported = KillAndReap(writer, 0);
    const int state = StateIn(name, before, after);
    ASSERT_TRUE(state == 0 || state == 1) << "round " << round << ": state " << state;
    if (reported == 1) {
      EXPECT_EQ(state, 1) << "round " << round << ": a finished write was lost";
    }
    if (state == 0) ++inside;
  }
  EXPECT_GE(inside, 1) << "no kill landed inside a first write";
}

}  // namespace
