// Whole-grid replies and written grids large enough for the cell pool, in
// the in-process server: storage that goes back to the pool while a reply,
// a cached grid or a request still uses it would show as cells that change
// under their owner. Each owner is checked against the layer's own cells,
// read straight through the grid library.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "handler_fixture.h"
#include "protocol/cell_pool.h"
#include "server/layer_cache.h"
#include "server/memgrid_solid.h"

namespace {

using Ints = std::vector<std::int32_t>;
using Floats = std::vector<float>;

// 1024 x 600 cells: 2.4 MB a grid, above the pool's smallest block.
constexpr std::int32_t kRows = 1024;
constexpr std::int32_t kCols = 600;

Ints Pattern(std::int32_t seed) {
  Ints cells(static_cast<std::size_t>(kRows) * kCols);
  for (std::size_t i = 0; i < cells.size(); ++i)
    cells[i] = static_cast<std::int32_t>((i * 2654435761u + seed) % 1000003);
  return cells;
}

class PooledCellsTest : public server_test::HandlerTest {
 protected:
  void SetUp() override {
    HandlerTest::SetUp();
    if (IsSkipped()) return;
    grd_svr::ReleasePooledCells();
    ASSERT_EQ(MakeWindowRequest(kRows, kCols), grd_svr::ErrNone);
    WriteIntLayer("a", Pattern(1));
    WriteIntLayer("b", Pattern(2));
  }
  void TearDown() override {
    grd_svr::ReleasePooledCells();
    HandlerTest::TearDown();
  }
};

TEST_F(PooledCellsTest, RepliesKeptAliveKeepTheirCellsWhileOthersComeAndGo) {
  auto first = GridOp(grd_svr::GridLoad, "a");
  ASSERT_EQ(Send(first), grd_svr::ErrNone);
  ASSERT_EQ(first->m_GrdDataINT, Pattern(1));
  for (int round = 0; round < 6; ++round) {
    // Replies of the other layer come and go; their storage cycles through
    // the pool.
    auto other = GridOp(grd_svr::GridLoad, round % 2 ? "a" : "b");
    ASSERT_EQ(Send(other), grd_svr::ErrNone);
    ASSERT_EQ(other->m_GrdDataINT, Pattern(round % 2 ? 1 : 2)) << round;
    ASSERT_NE(other->m_GrdDataINT.data(), first->m_GrdDataINT.data());
  }
  EXPECT_EQ(first->m_GrdDataINT, Pattern(1));
  // The replies that went did go through the pool.
  EXPECT_GT(grd_svr::PooledCellBytes(), 0u);
  // And the cached grids still answer their layers.
  auto again = GridOp(grd_svr::GridLoad, "b");
  ASSERT_EQ(Send(again), grd_svr::ErrNone);
  EXPECT_EQ(again->m_GrdDataINT, Pattern(2));
}

TEST_F(PooledCellsTest, AWrittenGridKeepsItsCellsAfterItsRequestAndOthersGo) {
  {
    auto write = GridOp(grd_svr::GridWrite, "c");
    write->m_CellType = 1;
    write->m_GrdDataINT = Pattern(3);
    ASSERT_EQ(Send(write), grd_svr::ErrNone);
  }
  // Loads and evictions of the two other layers, with their replies freed.
  for (int round = 0; round < 4; ++round) {
    auto load = GridOp(grd_svr::GridLoad, round % 2 ? "a" : "b");
    ASSERT_EQ(Send(load), grd_svr::ErrNone);
  }
  auto read = GridOp(grd_svr::GridLoad, "c");
  ASSERT_EQ(Send(read), grd_svr::ErrNone);
  EXPECT_EQ(read->m_GrdDataINT, Pattern(3));
  EXPECT_EQ(ReadIntLayer("c"), Pattern(3));
}

TEST_F(PooledCellsTest, AnEvictedGridsStorageServesTheNextLayerWithItsOwnCells) {
  // A cache of one: every load evicts the grid before it, whose storage the
  // next grid and reply may take.
  grd_svr::CacheState().capacity = 1;
  grd_svr::ClearCache();
  for (int round = 0; round < 6; ++round) {
    const char* name = round % 2 ? "a" : "b";
    auto load = GridOp(grd_svr::GridLoad, name);
    ASSERT_EQ(Send(load), grd_svr::ErrNone);
    ASSERT_EQ(load->m_GrdDataINT, Pattern(round % 2 ? 1 : 2)) << round;
    ASSERT_EQ(grd_svr::CacheState().layers.size(), 1u);
  }
}

}  // namespace
