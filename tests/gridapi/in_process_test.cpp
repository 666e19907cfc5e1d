// The grid exports over the real in-process server and grid library: what a
// host sees in io mode 2.
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <string>
#include <vector>

#include "exports/grid_api.h"
#include "gridapi_fixture.h"
#include "server/gio_holder.h"
#include "server/layer_cache.h"
#include "session/session_record.h"
#include "support/small_disk.h"

namespace gridapi_test {
namespace {

using Cells = std::vector<int>;

constexpr int kMissing = -1;

// Block write modes, independently of the server: merges block (rows x
// cols, its top-left at grid row r0, column c0, from 0) into grid (grid_rows
// x grid_cols), with kMissing standing for no-data on both sides.
Cells Merge(Cells grid, int grid_rows, int grid_cols, const Cells& block, int r0, int c0, int rows,
            int cols, int mode) {
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const int gr = r0 + r, gc = c0 + c;
      if (gr < 0 || gr >= grid_rows || gc < 0 || gc >= grid_cols) continue;
      const int v = block[r * cols + c];
      int& g = grid[gr * grid_cols + gc];
      if (mode == 0)
        g = v;  // v == missing makes the cell no-data
      else if (v == kMissing)
        continue;
      else if (mode == 1 || g == kMissing)
        g = v;
      else
        g += v;
    }
  return grid;
}

class InProcessTest : public SessionTest {
 protected:
  void SetUp() override {
    holder_ = boost::make_shared<grd_svr::CGIO_Holder>(MIRL_BINARY_DIR "/lib");
    ASSERT_TRUE(holder_->IsReady());
    mirl::session::Session().gio_holder = holder_;
    ASSERT_EQ(gridinit(2, dir_.str().c_str(), 0, 0), 1);
    int rows = 2, cols = 3, block = 0;
    double y = 0, x = 0, size = 1;
    ASSERT_EQ(makewindow(&rows, &cols, &y, &x, &size, &block), 1);
  }
  void TearDown() override {
    mirl::session::CloseSession();
    grd_svr::ClearCache();
    mirl::session::Session().gio_holder.reset();
  }

  // A fresh integer grid holding cells.
  void Grid(const char* name, const Cells& cells) {
    ASSERT_EQ(gridcreate(name, 1), 1);
    ASSERT_EQ(writegrid_int(name, 2, 3, kMissing, cells.data()), 1);
  }
  Cells Read(const char* name) {
    Cells cells(6, 777);
    EXPECT_EQ(readgrid_int(name, kMissing, cells.data()), 1);
    return cells;
  }

  boost::shared_ptr<grd_svr::IGIO> holder_;
};

const Cells kStart = {1, 2, 3, 4, kMissing, 6};
const Cells kBlock = {kMissing, 10, 20, kMissing};

TEST_F(InProcessTest, WholeGridRoundTripInBothCellTypes) {
  Grid("ints", kStart);
  EXPECT_EQ(Read("ints"), kStart);
  std::vector<double> as_double(6);
  ASSERT_EQ(readgrid_dbl("ints", -99.5, as_double.data()), 1);
  // No-data arrives as the missing value truncated for an integer grid.
  EXPECT_EQ(as_double, (std::vector<double>{1, 2, 3, 4, -99, 6}));

  ASSERT_EQ(gridcreate("floats", 2), 1);
  const std::vector<double> floats = {2.7, -2.7, 0.5, -99.5, 1e6, 3};
  ASSERT_EQ(writegrid_dbl("floats", 2, 3, -99.5, floats.data()), 1);
  Cells truncated(6);
  ASSERT_EQ(readgrid_int("floats", -5, truncated.data()), 1);
  EXPECT_EQ(truncated, (Cells{2, -2, 0, -5, 1000000, 3}));
}

TEST_F(InProcessTest, EachTransparencyModeMergesAsTheOracleSays) {
  for (int mode = 0; mode <= 2; ++mode) {
    const std::string name = "mode" + std::to_string(mode);
    Grid(name.c_str(), kStart);
    ASSERT_EQ(writeblock_int(name.c_str(), 1, 2, 2, 2, kMissing, kBlock.data(), mode), 1);
    EXPECT_EQ(Read(name.c_str()), Merge(kStart, 2, 3, kBlock, 0, 1, 2, 2, mode)) << name;
  }
  // Tell the modes apart: a wrong mode would give another grid.
  EXPECT_EQ(Read("mode0"), (Cells{1, kMissing, 10, 4, 20, kMissing}));
  EXPECT_EQ(Read("mode1"), (Cells{1, 2, 10, 4, 20, 6}));
  EXPECT_EQ(Read("mode2"), (Cells{1, 2, 13, 4, 20, 6}));
}

TEST_F(InProcessTest, BlockPartlyOutsideChangesOnlyTheCellsInside) {
  Grid("edge", kStart);
  const Cells block = {50, 60, 70, 80};
  ASSERT_EQ(writeblock_int("edge", 2, 3, 2, 2, kMissing, block.data(), 1), 1);
  EXPECT_EQ(Read("edge"), Merge(kStart, 2, 3, block, 1, 2, 2, 2, 1));
  EXPECT_EQ(Read("edge"), (Cells{1, 2, 3, 4, kMissing, 50}));
}

TEST_F(InProcessTest, BlockReadWithMarginFillsOutsideCellsWithTheMissingValue) {
  Grid("g", kStart);
  Cells cells(20, 0);
  ASSERT_EQ(readblock_int("g", 1, 1, 2, 3, 1, -9, cells.data()), 1);
  EXPECT_EQ(cells, (Cells{-9, -9, -9, -9, -9,  //
                          -9, 1,  2,  3,  -9,  //
                          -9, 4,  -9, 6,  -9,  //
                          -9, -9, -9, -9, -9}));
}

TEST_F(InProcessTest, CatalogueManagesGridsInTheBaseDirectory) {
  Grid("a", kStart);
  ASSERT_EQ(gridcopy("a", "b"), 1);
  EXPECT_EQ(gridcopy("a", "b"), -10017);
  EXPECT_EQ(Read("b"), kStart);
  std::string list(30, ' ');
  ASSERT_EQ(gridlist("", &list[0]), 1);
  const std::string names = list.c_str();
  EXPECT_TRUE(names == "a b " || names == "b a ") << names;
  int yc = 0, xc = 0, type = 0;
  double y = 0, x = 0, size = 0, mn = 0, mx = 0, mean = 0, sd = 0;
  ASSERT_EQ(griddescribe("b", &yc, &xc, &y, &x, &size, &type, &mn, &mx, &mean, &sd), 1);
  EXPECT_EQ(yc, 2);
  EXPECT_EQ(xc, 3);
  EXPECT_EQ(type, 1);
  EXPECT_EQ(mn, 1);
  EXPECT_EQ(mx, 6);
  EXPECT_DOUBLE_EQ(mean, 16.0 / 5);
  ASSERT_EQ(gridkill("a"), 1);
  EXPECT_EQ(gridkill("a"), -10007);
  Cells cells(6, 5);
  EXPECT_EQ(readgrid_int("a", 0, cells.data()), -10007);
  EXPECT_EQ(cells, Cells(6, 5));
}

TEST_F(InProcessTest, RetireIsRefusedByTheInProcessServer) {
  EXPECT_EQ(gridserver_retire(), -10019);
}

TEST_F(InProcessTest, WindowSurvivesTheSessionAndGetwindowReportsIt) {
  mirl::session::CloseSession();
  ASSERT_EQ(gridinit(2, dir_.str().c_str(), 0, 0), 1);
  int rows = 0, cols = 0, block = 7;
  double y = -1, x = -1, size = -1;
  ASSERT_EQ(getwindow(&rows, &cols, &y, &x, &size, &block), 1);
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(cols, 3);
  EXPECT_EQ(size, 1);
  EXPECT_EQ(block, 0);
}

TEST_F(InProcessTest, AGridWrittenAgainOnAFullDiskFailsAndKeepsItsCells) {
  const std::string disk = dir_.file("disk");
  boost::filesystem::create_directories(disk);
  const int status = mirl_test::OnSmallDisk(disk, 1 << 20, [&]() -> int {
    mirl::session::CloseSession();
    if (gridinit(2, disk.c_str(), 0, 0) != 1) return 10;
    int rows = 200, cols = 200, block = 0;
    double y = 0, x = 0, size = 1;
    if (makewindow(&rows, &cols, &y, &x, &size, &block) != 1) return 11;
    std::vector<double> cells(200 * 200, 1.0);
    if (gridcreate("g", 2) != 1 || writegrid_dbl("g", 200, 200, -9, cells.data()) != 1) return 12;
    if (!mirl_test::FillDisk(disk, 16 << 10)) return 13;
    std::vector<double> again(200 * 200, 2.0);
    if (writegrid_dbl("g", 200, 200, -9, again.data()) != -10011) return 14;
    grd_svr::ClearCache();
    std::vector<double> read(200 * 200, 0.0);
    if (readgrid_dbl("g", -9, read.data()) != 1) return 15;
    return read == cells ? 0 : 16;
  });
  if (status == mirl_test::kNoSmallDisk) GTEST_SKIP() << "no tmpfs can be mounted here";
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace gridapi_test
