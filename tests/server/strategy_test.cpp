#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "server/layer_cache.h"
#include "server/memgrid_solid.h"
#include "server/strategy.h"
#include "server/window_setup.h"
#include "server_fixture.h"

namespace {

using grd_svr::CacheState;
using grd_svr::GioState;
using server_test::MB;
using server_test::RecordingLog;

class StrategyTest : public server_test::ServerTest {};

TEST_F(StrategyTest, SolidGridSizeIsRoundedUpToWholeMegabytes) {
  EXPECT_EQ(grd_svr::SolidGridMB(1000, 1000), 4u);
  EXPECT_EQ(grd_svr::SolidGridMB(0, 0), 1u);
  // 262144 cells are exactly 1 MB; the 88 bytes beside them need a second.
  EXPECT_EQ(grd_svr::SolidGridMB(512, 512), 2u);
  EXPECT_EQ(grd_svr::SolidGridMB(512, 511), 1u);
  // 32-bit arithmetic would wrap 4,320,000,088 bytes round to 24 MB.
  EXPECT_EQ(grd_svr::SolidGridMB(40000, 27000), 4120u);
}

TEST_F(StrategyTest, AmpleMemoryGivesSolidGridsAndFillsTheCache) {
  RecordingLog log;
  GioState().log = &log;
  ASSERT_EQ(Window(1000, 1000), grd_svr::ErrNone);
  GioState().log = nullptr;
  EXPECT_EQ(CacheState().memory_mode, grd_svr::kMemoryModeSolid);
  EXPECT_EQ(CacheState().capacity, 96u);
  ASSERT_EQ(CacheState().layers.size(), 96u);
  for (int i = 0; i < 96; ++i) {
    const std::string name = "f_i_l_l_e_r__g_r_i_d_" + std::to_string(i);
    ASSERT_EQ(CacheState().layers.count(name), 1u) << name;
  }
  const auto& filler = CacheState().layers.at("f_i_l_l_e_r__g_r_i_d_95");
  EXPECT_EQ(boost::dynamic_pointer_cast<grd_svr::CGSvrMemGrid_Solid>(filler)->FillerBytes(),
            4000000u);
  EXPECT_EQ(filler->m_GrdCellType, 0);
  EXPECT_EQ(filler->m_GrdName, "f_i_l_l_e_r__g_r_i_d_95");
  EXPECT_EQ(log.texts(), (std::vector<std::string>{
                             "Strategy [available_ram: 2000, grid_size: 4, usable_ram: 400, "
                             "available_cap: 100, required_cap: 7]"}));
  EXPECT_EQ(log.flushes, 1);
}

TEST_F(StrategyTest, ScarceMemoryGivesHollowGridsAndNoFillers) {
  mirl::platform::SetAvailablePhysicalMemoryOverride(MB(20));
  ASSERT_EQ(Window(1000, 1000), grd_svr::ErrNone);
  EXPECT_EQ(CacheState().memory_mode, grd_svr::kMemoryModeHollow);
  EXPECT_EQ(CacheState().capacity, 50u);
  EXPECT_TRUE(CacheState().layers.empty());
}

TEST_F(StrategyTest, SevenPossibleLayersAreTheLeastForSolid) {
  mirl::platform::SetAvailablePhysicalMemoryOverride(MB(7) + MB(1) - 1);
  ASSERT_EQ(Window(3, 4), grd_svr::ErrNone);
  EXPECT_EQ(CacheState().memory_mode, grd_svr::kMemoryModeSolid);
  EXPECT_EQ(CacheState().capacity, 3u);
  EXPECT_EQ(CacheState().layers.size(), 3u);
  mirl::platform::SetAvailablePhysicalMemoryOverride(MB(7) - 1);
  ASSERT_EQ(Window(3, 4), grd_svr::ErrNone);
  EXPECT_EQ(CacheState().memory_mode, grd_svr::kMemoryModeHollow);
  EXPECT_TRUE(CacheState().layers.empty());
}

TEST_F(StrategyTest, AWindowTooLargeForThirtyTwoBitsIsHollow) {
  ASSERT_EQ(Window(40000, 27000), grd_svr::ErrNone);
  EXPECT_EQ(CacheState().memory_mode, grd_svr::kMemoryModeHollow);
  EXPECT_TRUE(CacheState().layers.empty());
}

TEST_F(StrategyTest, MakeWindowAppliesTheBoxFromCornerCountsAndCellSize) {
  ASSERT_EQ(grd_svr::MakeWindow(dir(), 100, 50, 2000.0, 1000.0, 10.0, true), grd_svr::ErrNone);
  const grd_svr::AccessWindow& window = GioState().window;
  EXPECT_EQ(window.m_Box[0], 1000.0);
  EXPECT_EQ(window.m_Box[1], 2000.0);
  EXPECT_EQ(window.m_Box[2], 1500.0);
  EXPECT_EQ(window.m_Box[3], 3000.0);
  EXPECT_EQ(window.m_Rows, 100);
  EXPECT_EQ(window.m_Columns, 50);
  EXPECT_EQ(GioState().workspace, dir());
}

TEST_F(StrategyTest, AValidWindowIsKeptUnlessForced) {
  ASSERT_EQ(Window(3, 4), grd_svr::ErrNone);
  CacheState().layers.erase("f_i_l_l_e_r__g_r_i_d_0");
  const std::size_t cached = CacheState().layers.size();
  EXPECT_EQ(grd_svr::MakeWindow("elsewhere", 9, 9, 0, 0, 1, false), grd_svr::ErrNone);
  EXPECT_EQ(grd_svr::SetWindowFromGrid("elsewhere", "any", false),
            grd_svr::ErrGridAccessWindowExists);
  EXPECT_EQ(GioState().window.m_Rows, 3);
  EXPECT_EQ(GioState().workspace, dir());
  EXPECT_EQ(CacheState().layers.size(), cached);
}

TEST_F(StrategyTest, ARefusedWindowLeavesNoneAndAnEmptyCache) {
  ASSERT_EQ(Window(3, 4), grd_svr::ErrNone);
  EXPECT_EQ(grd_svr::MakeWindow("other", 3, 4, 0.0, 0.0, 0.0, true),
            grd_svr::ErrGridNoAccessWindow);
  EXPECT_FALSE(GioState().window.IsValid());
  EXPECT_EQ(GioState().window.m_Rows, 0);
  EXPECT_TRUE(CacheState().layers.empty());
  EXPECT_EQ(GioState().workspace, "other");
  // Mode and capacity stay from the last strategy run.
  EXPECT_EQ(CacheState().memory_mode, grd_svr::kMemoryModeSolid);
  std::int32_t status = 0;
  std::string text;
  EXPECT_FALSE(grd_svr::GetLayer("la", status, text, true, true));
  EXPECT_EQ(status, grd_svr::ErrGridNoAccessWindow);
}

TEST_F(StrategyTest, WindowFromAGridTakesItsBoxAndCellSize) {
  ASSERT_EQ(Window(6, 4, 10.0, 20.0, 2.5), grd_svr::ErrNone);
  WriteIntLayer("shape", std::vector<std::int32_t>(24, 3));
  ASSERT_EQ(Window(1, 1), grd_svr::ErrNone);
  ASSERT_EQ(grd_svr::SetWindowFromGrid(dir(), "shape", true), grd_svr::ErrNone);
  const grd_svr::AccessWindow& window = GioState().window;
  EXPECT_EQ(window.m_CellSize, 2.5);
  EXPECT_EQ(window.m_Rows, 6);
  EXPECT_EQ(window.m_Columns, 4);
  EXPECT_EQ(window.m_Box[0], 10.0);
  EXPECT_EQ(window.m_Box[1], 20.0);
  EXPECT_EQ(window.m_Box[2], 20.0);
  EXPECT_EQ(window.m_Box[3], 35.0);
}

TEST_F(StrategyTest, AMissingGridForTheWindowIsLoggedAndLeavesNoWindow) {
  ASSERT_EQ(Window(3, 4), grd_svr::ErrNone);
  RecordingLog log;
  GioState().log = &log;
  EXPECT_EQ(grd_svr::SetWindowFromGrid(dir(), "absent", true), grd_svr::ErrGridNoAccessWindow);
  GioState().log = nullptr;
  EXPECT_EQ(log.texts(), (std::vector<std::string>{"Access window setup error: cannot find grid " +
                                                   Path("absent")}));
  EXPECT_EQ(log.flushes, 0);
  EXPECT_FALSE(GioState().window.IsValid());
  EXPECT_TRUE(CacheState().layers.empty());
}

}  // namespace
