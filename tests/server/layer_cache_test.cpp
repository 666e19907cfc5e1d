#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "server/layer_cache.h"
#include "server/memgrid_hollow.h"
#include "server/memgrid_solid.h"
#include "server/strategy.h"
#include "server_fixture.h"

namespace {

using grd_svr::CacheState;
using grd_svr::CGSvrMemGrid;
using grd_svr::GetLayer;
using server_test::MB;
using server_test::RecordingLog;
using Grid = boost::shared_ptr<CGSvrMemGrid>;

bool Cached(const std::string& key) { return CacheState().layers.count(key) == 1; }

// A 3 x 4 window (1 MB a grid) with 20 MB available: Solid, capacity 16,
// sixteen fillers.
class LayerCacheTest : public server_test::ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    if (IsSkipped()) return;
    mirl::platform::SetAvailablePhysicalMemoryOverride(MB(20));
    ASSERT_EQ(Window(3, 4), grd_svr::ErrNone);
    ASSERT_EQ(CacheState().capacity, 16u);
    ASSERT_EQ(CacheState().layers.size(), 16u);
    for (const char* name : {"la", "lb", "lc", "ld", "a_layer", "LA"})
      WriteIntLayer(name, std::vector<std::int32_t>(12, 1));
  }
  Grid Get(const std::string& name, std::int32_t* status = nullptr, bool load = true,
           bool add = true) {
    std::int32_t code = 0;
    std::string text;
    Grid grid = GetLayer(name, code, text, load, add);
    if (status != nullptr) *status = code;
    return grid;
  }
};

TEST_F(LayerCacheTest, NewLayersEvictFillersInKeyOrderNotNumericOrder) {
  const char* evicted[] = {"f_i_l_l_e_r__g_r_i_d_0", "f_i_l_l_e_r__g_r_i_d_1",
                           "f_i_l_l_e_r__g_r_i_d_10", "f_i_l_l_e_r__g_r_i_d_11"};
  const char* layers[] = {"la", "lb", "lc", "ld"};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(layers[i]);
    std::int32_t status = 0;
    ASSERT_TRUE(Get(layers[i], &status));
    EXPECT_EQ(status, grd_svr::ErrNone);
    EXPECT_FALSE(Cached(evicted[i]));
    EXPECT_TRUE(Cached(layers[i]));
    EXPECT_EQ(CacheState().layers.size(), 16u);
  }
  EXPECT_TRUE(Cached("f_i_l_l_e_r__g_r_i_d_12"));
  EXPECT_TRUE(Cached("f_i_l_l_e_r__g_r_i_d_2"));
}

TEST_F(LayerCacheTest, ALayerSortingBeforeTheFillersTiesAtZeroHitsAndGoesFirst) {
  ASSERT_TRUE(Get("a_layer"));
  EXPECT_FALSE(Cached("f_i_l_l_e_r__g_r_i_d_0"));
  ASSERT_TRUE(Get("la"));
  EXPECT_FALSE(Cached("a_layer"));
  EXPECT_TRUE(Cached("f_i_l_l_e_r__g_r_i_d_1"));
}

TEST_F(LayerCacheTest, ALayerLookedUpAgainOutlivesTheFillers) {
  ASSERT_TRUE(Get("a_layer"));
  ASSERT_TRUE(Get("a_layer"));
  ASSERT_TRUE(Get("la"));
  EXPECT_TRUE(Cached("a_layer"));
  EXPECT_FALSE(Cached("f_i_l_l_e_r__g_r_i_d_1"));
}

TEST_F(LayerCacheTest, ANameWithALeadingBlankHitsTheSameGrid) {
  Grid first = Get(" la");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->m_Hits, 0);
  EXPECT_EQ(first->m_GrdName, Path("la"));
  EXPECT_TRUE(Cached("la"));
  Grid second = Get("la\t ");
  EXPECT_EQ(second.get(), first.get());
  EXPECT_EQ(first->m_Hits, 2);
  Grid other_case = Get("LA");
  ASSERT_TRUE(other_case);
  EXPECT_NE(other_case.get(), first.get());
  EXPECT_EQ(first->m_Hits, 2);
}

TEST_F(LayerCacheTest, AFailedOpenAfterAnEvictionLeavesTheCacheOneSmaller) {
  std::int32_t status = 0;
  EXPECT_FALSE(Get("absent", &status));
  EXPECT_EQ(status, grd_svr::ErrGridCannotFind);
  EXPECT_EQ(CacheState().layers.size(), 15u);
  EXPECT_FALSE(Cached("absent"));
}

TEST_F(LayerCacheTest, NoWindowCachesNothing) {
  grd_svr::GioState().window.Clear();
  std::int32_t status = 0;
  EXPECT_FALSE(Get("la", &status));
  EXPECT_EQ(status, grd_svr::ErrGridNoAccessWindow);
  EXPECT_EQ(CacheState().layers.size(), 16u);
}

TEST_F(LayerCacheTest, FlagsDecideOpeningAndStoring) {
  std::int32_t status = 0;
  Grid unopened = Get("fresh", &status, false, true);
  ASSERT_TRUE(unopened);
  EXPECT_EQ(status, grd_svr::ErrNone);
  EXPECT_EQ(unopened->m_GrdCountY, 0);
  EXPECT_TRUE(Cached("fresh"));
  Grid unstored = Get("lb", &status, true, false);
  ASSERT_TRUE(unstored);
  EXPECT_EQ(unstored->m_GrdCountY, 3);
  EXPECT_FALSE(Cached("lb"));
  // Without the add flag nothing was evicted for it either.
  EXPECT_EQ(CacheState().layers.size(), 16u);
}

TEST_F(LayerCacheTest, AddingAndEvictingAreLogged) {
  RecordingLog log;
  grd_svr::GioState().log = &log;
  ASSERT_TRUE(Get("la"));
  grd_svr::GioState().log = nullptr;
  ASSERT_EQ(log.calls.size(), 4u);
  EXPECT_EQ(log.calls[0].text,
            "Cache [size: 16, max: 16, RAM: 20MB] pre-dumping layer: f_i_l_l_e_r__g_r_i_d_0 "
            "[hits: 0]");
  EXPECT_EQ(log.calls[1].text,
            "Cache [size: 15, max: 16, RAM: 20MB] post-dumping layer: f_i_l_l_e_r__g_r_i_d_0 "
            "[hits: 0]");
  // The grid's own line of its open comes between.
  EXPECT_EQ(log.calls[2].text.rfind("Successfully opened layer: " + Path("la"), 0), 0u);
  EXPECT_EQ(log.calls[3].text,
            "Cache [size: 15, max: 16, RAM: 20MB] adding layer: la [hollow: false]");
  // The open line and the adding line are flushed, the eviction lines not.
  EXPECT_EQ(log.flushes, 2);
  EXPECT_TRUE(log.calls[0].stamp && log.calls[0].newline);
}

TEST_F(LayerCacheTest, ForcedDumpEvictsBelowCapacityAndUnforcedDoesNot) {
  grd_svr::EraseLayer("f_i_l_l_e_r__g_r_i_d_5");
  grd_svr::DumpLayer(false);
  EXPECT_EQ(CacheState().layers.size(), 15u);
  grd_svr::DumpLayer(true);
  EXPECT_EQ(CacheState().layers.size(), 14u);
  EXPECT_FALSE(Cached("f_i_l_l_e_r__g_r_i_d_0"));
  grd_svr::ClearCache();
  grd_svr::DumpLayer(true);
  EXPECT_TRUE(CacheState().layers.empty());
}

TEST_F(LayerCacheTest, FindLayerRaisesHitsByOne) {
  Grid grid = Get("lc");
  ASSERT_TRUE(grid);
  EXPECT_EQ(grd_svr::FindLayer("lc").get(), grid.get());
  EXPECT_EQ(grid->m_Hits, 1);
  EXPECT_FALSE(grd_svr::FindLayer(" lc"));
}

TEST_F(LayerCacheTest, HollowModeCreatesHollowGrids) {
  mirl::platform::SetAvailablePhysicalMemoryOverride(MB(6));
  ASSERT_EQ(Window(3, 4), grd_svr::ErrNone);
  EXPECT_EQ(CacheState().memory_mode, grd_svr::kMemoryModeHollow);
  EXPECT_TRUE(CacheState().layers.empty());
  Grid grid = Get("la");
  ASSERT_TRUE(grid);
  EXPECT_NE(dynamic_cast<grd_svr::CGSvrMemGrid_Hollow*>(grid.get()), nullptr);
  Grid created = grd_svr::CreateLayer(Path("x"));
  EXPECT_NE(dynamic_cast<grd_svr::CGSvrMemGrid_Hollow*>(created.get()), nullptr);
  EXPECT_EQ(created->m_GrdName, Path("x"));
}

TEST_F(LayerCacheTest, ErasingAPathDropsEveryKeyBoundToIt) {
  ASSERT_TRUE(Get("la"));
  ASSERT_TRUE(Get(Path("la")));
  ASSERT_TRUE(Get("lb"));
  grd_svr::EraseLayersOfPath(Path("la"));
  EXPECT_FALSE(Cached("la"));
  EXPECT_FALSE(Cached(Path("la")));
  EXPECT_TRUE(Cached("lb"));
}

TEST_F(LayerCacheTest, DetachingALoggerClearsItFromCachedGrids) {
  RecordingLog log;
  grd_svr::GioState().log = &log;
  Grid grid = Get("la");
  grd_svr::GioState().log = nullptr;
  ASSERT_TRUE(grid);
  EXPECT_EQ(grid->m_Log, &log);
  grd_svr::DetachLogger(&log);
  EXPECT_EQ(grid->m_Log, nullptr);
}

}  // namespace
