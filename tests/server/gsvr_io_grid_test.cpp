#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "handler_fixture.h"
#include "server/layer_cache.h"

namespace {

using server_test::kMissingInt;
using Ints = std::vector<std::int32_t>;
using Floats = std::vector<float>;

constexpr std::int32_t M = kMissingInt;

class GridRequestTest : public server_test::HandlerTest {
 protected:
  void SetUp() override {
    HandlerTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_EQ(MakeWindowRequest(3, 4, 100.0, 200.0, 1.0), grd_svr::ErrNone);
    WriteIntLayer("ints", {0, 1, 2, 3, 10, M, 12, 13, 20, 21, 22, 23});
    WriteFloatLayer("floats", {0.5f, MissingFloat(), 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  }
};

TEST_F(GridRequestTest, GridLoadAnswersTheCellsWithTheCallersMissingValue) {
  auto load = GridOp(grd_svr::GridLoad, "ints");
  ASSERT_EQ(Send(load), grd_svr::ErrNone);
  EXPECT_EQ(load->m_GridName, Path("ints"));
  EXPECT_EQ(load->m_RowCount, 3);
  EXPECT_EQ(load->m_ColCount, 4);
  EXPECT_EQ(load->m_XLowerLeft, 100.0);
  EXPECT_EQ(load->m_YLowerLeft, 200.0);
  EXPECT_EQ(load->m_CellSize, 1.0);
  EXPECT_EQ(load->m_CellType, 1);
  EXPECT_EQ(load->m_GrdDataINT, (Ints{0, 1, 2, 3, 10, -9999, 12, 13, 20, 21, 22, 23}));
  EXPECT_TRUE(load->m_GrdDataFLT.empty());

  auto floats = GridOp(grd_svr::GridLoad, "floats");
  ASSERT_EQ(Send(floats), grd_svr::ErrNone);
  EXPECT_EQ(floats->m_CellType, 2);
  EXPECT_EQ(floats->m_GrdDataFLT, (Floats{0.5f, -9999.5f, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(GridRequestTest, GridLoadOfAMissingLayerCarriesNoCells) {
  auto load = GridOp(grd_svr::GridLoad, "absent");
  load->m_GrdDataINT = {1, 2, 3};
  EXPECT_EQ(Send(load), grd_svr::ErrGridCannotFind);
  EXPECT_TRUE(load->m_GrdDataINT.empty());
  EXPECT_EQ(load->m_GridName, "absent");
}

TEST_F(GridRequestTest, ANameWithALeadingBlankIsTheSameCachedLayer) {
  ASSERT_EQ(Send(GridOp(grd_svr::GridLoad, " ints")), grd_svr::ErrNone);
  const auto grid = grd_svr::CacheState().layers.at("ints");
  EXPECT_EQ(grid->m_Hits, 0);
  ASSERT_EQ(Send(GridOp(grd_svr::GridLoad, "ints")), grd_svr::ErrNone);
  EXPECT_EQ(grid->m_Hits, 2);
  EXPECT_EQ(grd_svr::CacheState().layers.count(" ints"), 0u);
}

TEST_F(GridRequestTest, GridWriteCreatesTheLayerAndALaterLoadReadsIt) {
  auto write = GridOp(grd_svr::GridWrite, "out");
  write->m_CellType = 2;
  write->m_GrdDataFLT = {1, 2, -9999.5f, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  ASSERT_EQ(Send(write), grd_svr::ErrNone);
  EXPECT_EQ(write->m_GridName, Path("out"));
  EXPECT_EQ(write->m_XLowerLeft, 100.0);
  EXPECT_EQ(write->m_YLowerLeft, 200.0);
  EXPECT_EQ(write->m_CellSize, 1.0);
  EXPECT_TRUE(write->m_GrdDataFLT.empty());
  EXPECT_EQ(ReadFloatLayer("out"), (Floats{1, 2, MissingFloat(), 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  auto load = GridOp(grd_svr::GridLoad, "out");
  load->m_MissingFLT = -1.0f;
  ASSERT_EQ(Send(load), grd_svr::ErrNone);
  EXPECT_EQ(load->m_GrdDataFLT, (Floats{1, 2, -1, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST_F(GridRequestTest, ARefusedGridWriteLeavesNoTraceInTheCache) {
  auto write = GridOp(grd_svr::GridWrite, "out");
  write->m_CellType = 1;
  write->m_GrdDataINT = {1, 2, 3};
  EXPECT_EQ(Send(write), grd_svr::ErrGridBadDimensions);
  EXPECT_TRUE(write->m_GrdDataINT.empty());
  EXPECT_FALSE(LayerExists("out"));
  EXPECT_EQ(Send(GridOp(grd_svr::GridLoad, "out")), grd_svr::ErrGridCannotFind);

  ASSERT_EQ(Send(GridOp(grd_svr::GridLoad, "ints")), grd_svr::ErrNone);
  auto shape = GridOp(grd_svr::GridWrite, "ints");
  shape->m_CellType = 1;
  shape->m_RowCount = 4;
  shape->m_ColCount = 3;
  shape->m_GrdDataINT.assign(12, 5);
  EXPECT_EQ(Send(shape), grd_svr::ErrGridBadDimensions);
  auto load = GridOp(grd_svr::GridLoad, "ints");
  ASSERT_EQ(Send(load), grd_svr::ErrNone);
  EXPECT_EQ(load->m_GrdDataINT, (Ints{0, 1, 2, 3, 10, -9999, 12, 13, 20, 21, 22, 23}));
}

TEST_F(GridRequestTest, BlockLoadPartlyOutsideTheGrid) {
  auto block = BlockOp(grd_svr::BlockLoad, "ints", 2, 2, 2, 3, 1);
  ASSERT_EQ(Send(block), grd_svr::ErrNone);
  EXPECT_EQ(block->m_GridName, Path("ints"));
  EXPECT_EQ(block->m_CellSize, 1.0);
  EXPECT_EQ(block->m_BlkDataINT, (Ints{22, 23, -9999, -9999, -9999, -9999}));
}

TEST_F(GridRequestTest, BlockWriteRepliesCarryNoCellsWhateverTheirCode) {
  auto write = BlockOp(grd_svr::BlockWrite, "ints", 0, 0, 1, 2, 1);
  write->m_BlkDataINT = {7, 8};
  ASSERT_EQ(Send(write), grd_svr::ErrNone);
  EXPECT_TRUE(write->m_BlkDataINT.empty());
  EXPECT_EQ(write->m_GridName, Path("ints"));
  EXPECT_EQ(ReadIntLayer("ints")[1], 8);

  auto refused = BlockOp(grd_svr::BlockWrite, "ints", 0, 0, 2, 2, 1);
  refused->m_BlkDataINT = {1, 2, 3};
  EXPECT_EQ(Send(refused), grd_svr::ErrGridBadDimensions);
  EXPECT_TRUE(refused->m_BlkDataINT.empty());
  EXPECT_EQ(ReadIntLayer("ints"), (Ints{7, 8, 2, 3, 10, M, 12, 13, 20, 21, 22, 23}));
}

TEST_F(GridRequestTest, TransparencyTwoOnAMissingCellStoresTheValue) {
  auto write = BlockOp(grd_svr::BlockWrite, "ints", 1, 0, 1, 3, 1);
  write->m_Transparency = 2;
  write->m_BlkDataINT = {5, 6, -9999};
  ASSERT_EQ(Send(write), grd_svr::ErrNone);
  const Ints disk = ReadIntLayer("ints");
  EXPECT_EQ(disk[4], 15);
  EXPECT_EQ(disk[5], 6);
  EXPECT_EQ(disk[6], 12);
  auto load = BlockOp(grd_svr::BlockLoad, "ints", 1, 0, 1, 3, 1);
  ASSERT_EQ(Send(load), grd_svr::ErrNone);
  EXPECT_EQ(load->m_BlkDataINT, (Ints{15, 6, 12}));
}

TEST_F(GridRequestTest, BlockRequestsOnAMissingLayerFindNothing) {
  auto load = BlockOp(grd_svr::BlockLoad, "absent", 0, 0, 1, 1, 1);
  EXPECT_EQ(Send(load), grd_svr::ErrGridCannotFind);
  EXPECT_TRUE(load->m_BlkDataINT.empty());
  auto write = BlockOp(grd_svr::BlockWrite, "absent", 0, 0, 1, 1, 1);
  write->m_BlkDataINT = {1};
  EXPECT_EQ(Send(write), grd_svr::ErrGridCannotFind);
  EXPECT_FALSE(LayerExists("absent"));
}

TEST_F(GridRequestTest, HollowModeRefusesWholeGridsButServesBlocks) {
  mirl::platform::SetAvailablePhysicalMemoryOverride(server_test::MB(6));
  ASSERT_EQ(MakeWindowRequest(3, 4, 100.0, 200.0, 1.0), grd_svr::ErrNone);
  ASSERT_EQ(grd_svr::CacheState().memory_mode, grd_svr::kMemoryModeHollow);
  auto load = GridOp(grd_svr::GridLoad, "ints");
  EXPECT_EQ(Send(load), grd_svr::ErrGridTooBig);
  auto write = GridOp(grd_svr::GridWrite, "ints");
  write->m_CellType = 1;
  write->m_GrdDataINT.assign(12, 1);
  EXPECT_EQ(Send(write), grd_svr::ErrGridTooBig);
  EXPECT_TRUE(grd_svr::CacheState().layers.empty());

  auto block_write = BlockOp(grd_svr::BlockWrite, "ints", 2, 3, 1, 1, 2);
  block_write->m_BlkDataFLT = {77.9f};
  ASSERT_EQ(Send(block_write), grd_svr::ErrNone);
  EXPECT_TRUE(block_write->m_BlkDataFLT.empty());
  auto block_load = BlockOp(grd_svr::BlockLoad, "ints", 1, 1, 2, 3, 1);
  ASSERT_EQ(Send(block_load), grd_svr::ErrNone);
  EXPECT_EQ(block_load->m_BlkDataINT, (Ints{-9999, 12, 13, 21, 22, 77}));
  EXPECT_EQ(ReadIntLayer("ints")[11], 77);
}

TEST_F(GridRequestTest, AHollowLayerDeletedBehindTheCacheIsOpenedAgainOnceBack) {
  mirl::platform::SetAvailablePhysicalMemoryOverride(server_test::MB(6));
  ASSERT_EQ(MakeWindowRequest(3, 4, 100.0, 200.0, 1.0), grd_svr::ErrNone);
  ASSERT_EQ(Send(BlockOp(grd_svr::BlockLoad, "ints", 0, 0, 1, 1, 1)), grd_svr::ErrNone);
  grd_svr::CGIO::CellLyrDelete(Path("ints"));
  EXPECT_EQ(Send(BlockOp(grd_svr::BlockLoad, "ints", 0, 0, 1, 1, 1)), grd_svr::ErrGridCannotFind);
  WriteIntLayer("ints", Ints(12, 4));
  auto again = BlockOp(grd_svr::BlockLoad, "ints", 0, 0, 1, 1, 1);
  ASSERT_EQ(Send(again), grd_svr::ErrNone);
  EXPECT_EQ(again->m_BlkDataINT, Ints{4});
}

TEST_F(GridRequestTest, GridRequestsWithoutWindowAreRefused) {
  grd_svr::GioState().window.Clear();
  EXPECT_EQ(Send(GridOp(grd_svr::GridLoad, "ints")), grd_svr::ErrGridNoAccessWindow);
  EXPECT_EQ(Send(BlockOp(grd_svr::BlockLoad, "ints", 0, 0, 1, 1, 1)),
            grd_svr::ErrGridNoAccessWindow);
}

}  // namespace
