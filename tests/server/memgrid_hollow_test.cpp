#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <cstdint>
#include <vector>

#include "platform/debug_output.h"
#include "protocol/block_packet.h"
#include "protocol/grid_packets.h"
#include "server/memgrid_hollow.h"
#include "server_fixture.h"

namespace {

using grd_svr::CGSvrMemGrid_Hollow;
using grd_svr::CGSvrPk_BlockOp;
using server_test::kMissingInt;
using Ints = std::vector<std::int32_t>;
using Floats = std::vector<float>;

constexpr std::int32_t M = kMissingInt;

using HollowTest = server_test::MemGridTest;

TEST_F(HollowTest, OpenTakesTheWindowsGeometryAndKeepsNoCells) {
  CGSvrMemGrid_Hollow grid(Path("floats"), nullptr);
  ASSERT_EQ(grid.Open(""), grd_svr::ErrNone);
  EXPECT_EQ(grid.m_GrdCellType, 2);
  EXPECT_EQ(grid.m_GrdCountY, 3);
  EXPECT_EQ(grid.m_GrdCountX, 4);
  EXPECT_EQ(grid.m_GrdCellSize, 1.0);
  EXPECT_TRUE(grid.DataInt().empty());
  EXPECT_TRUE(grid.DataFloat().empty());
}

TEST_F(HollowTest, OpenOnAOneRowWindowProbesRowZero) {
  ASSERT_EQ(Window(1, 4, 0.0, 2.0), grd_svr::ErrNone);
  CGSvrMemGrid_Hollow grid(Path("ints"), nullptr);
  EXPECT_EQ(grid.Open(""), grd_svr::ErrNone);
  EXPECT_EQ(grid.m_GrdCountY, 1);
}

TEST_F(HollowTest, OpenOfAMissingLayerResetsTheGrid) {
  CGSvrMemGrid_Hollow grid(Path("absent"), nullptr);
  EXPECT_EQ(grid.Open(""), grd_svr::ErrGridCannotFind);
  EXPECT_EQ(grid.m_GrdName, "");
  EXPECT_EQ(grid.m_Status, grd_svr::ErrGridCannotFind);
  EXPECT_EQ(grid.m_GrdCellType, 1);
}

TEST_F(HollowTest, WholeGridOperationsAreTooBig) {
  CGSvrMemGrid_Hollow grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Open(""), grd_svr::ErrNone);
  grd_svr::CGSvrPk_GridOp packet(grd_svr::atRequest, grd_svr::GridWrite);
  packet.m_CellType = 1;
  packet.m_GrdDataINT.assign(12, 4);
  EXPECT_EQ(grid.Load(""), grd_svr::ErrGridTooBig);
  EXPECT_EQ(grid.WriteGrid(packet), grd_svr::ErrGridTooBig);
  EXPECT_EQ(grid.Save(""), grd_svr::ErrGridTooBig);
  EXPECT_EQ(ReadIntLayer("ints"), (Ints{0, 1, 2, 3, 10, M, 12, 13, 20, 21, 22, 23}));
  // Not recorded: the grid is still bound to its layer.
  EXPECT_EQ(grid.m_GrdName, Path("ints"));
}

TEST_F(HollowTest, ReadBlockPartlyOutsideReadsTheLayerFromDisk) {
  CGSvrMemGrid_Hollow grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Open(""), grd_svr::ErrNone);
  // Changed on disk after the open: a Hollow grid sees it.
  WriteIntLayer("ints", {0, 1, 2, 3, 10, M, 12, 13, 20, 21, 22, 99});
  CGSvrPk_BlockOp block = Block(1, -1, 3, 3, 1);
  ASSERT_EQ(grid.ReadBlock(block), grd_svr::ErrNone);
  EXPECT_EQ(block.m_BlkDataINT, (Ints{-99, 10, -99,  //
                                      -99, 20, 21,   //
                                      -99, -99, -99}));
  CGSvrPk_BlockOp corner = Block(2, 3, 1, 1, 2);
  ASSERT_EQ(grid.ReadBlock(corner), grd_svr::ErrNone);
  EXPECT_EQ(corner.m_BlkDataFLT, (Floats{99.0f}));
}

TEST_F(HollowTest, ReadBlockConvertsFloatsToIntegersByTheLibrarysMarkers) {
  CGSvrMemGrid_Hollow grid(Path("floats"), nullptr);
  ASSERT_EQ(grid.Open(""), grd_svr::ErrNone);
  CGSvrPk_BlockOp block = Block(0, 0, 1, 4, 1);
  ASSERT_EQ(grid.ReadBlock(block), grd_svr::ErrNone);
  EXPECT_EQ(block.m_BlkDataINT, (Ints{0, 2, -2, -99}));
}

TEST_F(HollowTest, WriteBlockMergesByTransparencyIntoTheLayer) {
  struct Case {
    std::int32_t transparency;
    Ints expected;
  };
  const Case cases[] = {
      {0, {M, 3, M, 4}},
      {1, {5, 3, 7, 4}},
      {2, {5, 3, 7, 13}},
      {-1, {5, M, 7, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.transparency);
    WriteIntLayer("row", {0, 0, 0, 0, 5, M, 7, 9, 0, 0, 0, 0});
    CGSvrMemGrid_Hollow grid(Path("row"), nullptr);
    ASSERT_EQ(grid.Open(""), grd_svr::ErrNone);
    CGSvrPk_BlockOp block = Block(1, 0, 1, 4, 1);
    block.m_Transparency = c.transparency;
    block.m_BlkDataINT = {-99, 3, -99, 4};
    ASSERT_EQ(grid.WriteBlock(block), grd_svr::ErrNone);
    const Ints disk = ReadIntLayer("row");
    EXPECT_EQ(Ints(disk.begin() + 4, disk.begin() + 8), c.expected);
    EXPECT_EQ(Ints(disk.begin(), disk.begin() + 4), Ints(4, 0));
  }
}

TEST_F(HollowTest, WriteBlockReadsPacketValuesWithTheLibrarysMarkers) {
  // The same block as the Solid grid's marker test, with the other outcome:
  // -99 is no library marker, so it is a value; the library's integer
  // marker converts to the float marker, which is not the packet's missing
  // value either, so mode 0 stores it.
  CGSvrMemGrid_Hollow grid(Path("floats"), nullptr);
  ASSERT_EQ(grid.Open(""), grd_svr::ErrNone);
  CGSvrPk_BlockOp block = Block(1, 0, 1, 3, 1);
  block.m_MissingINT = -99;
  block.m_MissingFLT = -1.0f;
  block.m_BlkDataINT = {-99, kMissingInt, 7};
  ASSERT_EQ(grid.WriteBlock(block), grd_svr::ErrNone);
  const Floats disk = ReadFloatLayer("floats");
  EXPECT_EQ(disk[4], -99.0f);
  EXPECT_EQ(disk[5], MissingFloat());
  EXPECT_EQ(disk[6], 7.0f);
  EXPECT_EQ(disk[7], 4.0f);
}

TEST_F(HollowTest, WriteBlockPartlyOutsideChangesOnlyInsideCells) {
  CGSvrMemGrid_Hollow grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Open(""), grd_svr::ErrNone);
  CGSvrPk_BlockOp block = Block(-1, -1, 2, 2, 2);
  block.m_BlkDataFLT = {1, 2, 3, 4.9f};
  ASSERT_EQ(grid.WriteBlock(block), grd_svr::ErrNone);
  EXPECT_EQ(ReadIntLayer("ints"), (Ints{4, 1, 2, 3, 10, M, 12, 13, 20, 21, 22, 23}));
}

TEST_F(HollowTest, WriteBlockWhoseCellsFallShortIsRefused) {
  CGSvrMemGrid_Hollow grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Open(""), grd_svr::ErrNone);
  CGSvrPk_BlockOp block = Block(0, 0, 3, 4, 1);
  block.m_BlkDataINT.assign(11, 1);
  EXPECT_EQ(grid.WriteBlock(block), grd_svr::ErrGridBadDimensions);
  EXPECT_EQ(ReadIntLayer("ints"), (Ints{0, 1, 2, 3, 10, M, 12, 13, 20, 21, 22, 23}));
  EXPECT_EQ(grid.m_GrdName, Path("ints"));
}

TEST_F(HollowTest, BlockOperationsOnADeletedLayerResetTheGrid) {
  CGSvrMemGrid_Hollow grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Open(""), grd_svr::ErrNone);
  grd_svr::CGIO::CellLyrDelete(Path("ints"));
  CGSvrPk_BlockOp block = Block(0, 0, 1, 1, 1);
  EXPECT_EQ(grid.ReadBlock(block), grd_svr::ErrGridCannotFind);
  EXPECT_EQ(grid.m_GrdName, "");
  EXPECT_EQ(grid.m_GrdCountX, 0);
  EXPECT_EQ(grid.m_Status, grd_svr::ErrGridCannotFind);
}

TEST_F(HollowTest, BlockOperationsWithoutWindowAreRefusedWithoutRecording) {
  CGSvrMemGrid_Hollow grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Open(""), grd_svr::ErrNone);
  grd_svr::GioState().window.Clear();
  CGSvrPk_BlockOp read = Block(0, 0, 1, 1, 7);
  EXPECT_EQ(grid.ReadBlock(read), grd_svr::ErrGridNoAccessWindow);
  // Refused before the cell type is settled.
  EXPECT_EQ(read.m_CellType, 7);
  CGSvrPk_BlockOp write = Block(0, 0, 1, 1, 1);
  write.m_BlkDataINT = {1};
  EXPECT_EQ(grid.WriteBlock(write), grd_svr::ErrGridNoAccessWindow);
  EXPECT_EQ(grid.m_GrdName, Path("ints"));
  EXPECT_EQ(grid.m_Status, grd_svr::ErrNone);
}

TEST_F(HollowTest, ConstructionAndDestructionAreTraced) {
  std::vector<std::string> lines;
  mirl::platform::SetDebugSink(
      [](const std::string& text, void* context) {
        static_cast<std::vector<std::string>*>(context)->push_back(text);
      },
      &lines);
  { CGSvrMemGrid_Hollow grid("x", nullptr); }
  mirl::platform::SetDebugSink(nullptr, nullptr);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "Constructing CGSvrMemGrid", "Constructing CGSvrMemGrid_Hollow",
                       "Destructing CGSvrMemGrid_Hollow", "Destructing CGSvrMemGrid"}));
}

}  // namespace
