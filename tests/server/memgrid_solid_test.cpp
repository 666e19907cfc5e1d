#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "protocol/block_packet.h"
#include "protocol/grid_packets.h"
#include "server/memgrid_solid.h"
#include "server_fixture.h"

namespace {

using grd_svr::CGSvrMemGrid_Solid;
using grd_svr::CGSvrPk_BlockOp;
using grd_svr::CGSvrPk_GridOp;
using server_test::kMissingInt;
using server_test::RecordingLog;
using Ints = std::vector<std::int32_t>;
using Floats = std::vector<float>;

constexpr std::int32_t M = kMissingInt;

class SolidTest : public server_test::MemGridTest {
 protected:
  CGSvrPk_GridOp GridPacket(std::int32_t type) {
    CGSvrPk_GridOp packet(grd_svr::atRequest, grd_svr::GridWrite);
    packet.m_CellType = type;
    return packet;
  }
};

TEST_F(SolidTest, LoadReadsEveryWindowRowIntoTheVectorOfTheLayersType) {
  CGSvrMemGrid_Solid ints(Path("ints"), nullptr);
  ASSERT_EQ(ints.Open(""), grd_svr::ErrNone);
  EXPECT_EQ(ints.m_GrdCellType, 1);
  EXPECT_EQ(ints.m_GrdCountY, 3);
  EXPECT_EQ(ints.m_GrdCountX, 4);
  EXPECT_EQ(ints.m_CoordXLL, 0.0);
  EXPECT_EQ(ints.m_CoordYLL, 0.0);
  EXPECT_EQ(ints.m_GrdCellSize, 1.0);
  EXPECT_EQ(ints.m_GrdDataINT, (Ints{0, 1, 2, 3, 10, M, 12, 13, 20, 21, 22, 23}));
  EXPECT_TRUE(ints.m_GrdDataFLT.empty());

  CGSvrMemGrid_Solid floats(Path("floats"), nullptr);
  ASSERT_EQ(floats.Load(""), grd_svr::ErrNone);
  EXPECT_EQ(floats.m_GrdCellType, 2);
  EXPECT_EQ(floats.m_GrdDataFLT,
            (Floats{0.5f, 2.7f, -2.7f, MissingFloat(), 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(floats.m_GrdDataINT.empty());
}

TEST_F(SolidTest, LoadTakesANonEmptyNameAndReadsThroughTheCurrentWindow) {
  ASSERT_EQ(Window(1, 2, 1.0, 1.0), grd_svr::ErrNone);
  CGSvrMemGrid_Solid grid("", nullptr);
  ASSERT_EQ(grid.Load(Path("ints")), grd_svr::ErrNone);
  EXPECT_EQ(grid.m_GrdName, Path("ints"));
  // The window's one row is the layer's middle row, columns 1 and 2.
  EXPECT_EQ(grid.m_GrdDataINT, (Ints{M, 12}));
  EXPECT_EQ(grid.m_CoordXLL, 1.0);
  EXPECT_EQ(grid.m_CoordYLL, 1.0);
}

TEST_F(SolidTest, FailedLoadResetsTheGrid) {
  CGSvrMemGrid_Solid grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  EXPECT_EQ(grid.Load(Path("absent")), grd_svr::ErrGridCannotFind);
  EXPECT_EQ(grid.m_Status, grd_svr::ErrGridCannotFind);
  EXPECT_EQ(grid.m_GrdName, "");
  EXPECT_EQ(grid.m_GrdCellType, 1);
  EXPECT_EQ(grid.m_GrdCountY, 0);
  EXPECT_EQ(grid.m_GrdCountX, 0);
  EXPECT_EQ(grid.m_CoordXLL, 0.0);
  EXPECT_EQ(grid.m_GrdCellSize, 0.0);
  EXPECT_TRUE(grid.m_GrdDataINT.empty());
  EXPECT_TRUE(grid.m_GrdDataFLT.empty());
}

TEST_F(SolidTest, LoadWithoutWindowIsRefusedWithoutRecording) {
  grd_svr::GioState().window.Clear();
  CGSvrMemGrid_Solid grid(Path("ints"), nullptr);
  EXPECT_EQ(grid.Load(""), grd_svr::ErrGridNoAccessWindow);
  EXPECT_EQ(grid.m_Status, grd_svr::ErrNone);
  EXPECT_EQ(grid.m_GrdName, Path("ints"));
}

TEST_F(SolidTest, LoadLogsTheOpenedLayerAndFlushes) {
  RecordingLog log;
  CGSvrMemGrid_Solid grid(Path("ints"), &log);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  ASSERT_EQ(log.calls.size(), 1u);
  const std::string prefix = "Successfully opened layer: " + Path("ints") + " with handle ";
  EXPECT_EQ(log.calls[0].text.substr(0, prefix.size()), prefix);
  EXPECT_TRUE(log.calls[0].stamp);
  EXPECT_TRUE(log.calls[0].newline);
  EXPECT_EQ(log.flushes, 1);
}

TEST_F(SolidTest, WriteGridWithUnsetGeometryWritesTheWindowsShape) {
  CGSvrMemGrid_Solid grid(Path("new"), nullptr);
  CGSvrPk_GridOp packet = GridPacket(1);
  packet.m_MissingINT = -9999;
  packet.m_GrdDataINT = {1, -9999, 3, 4, 5, 6, 7, 8, 9, 10, 11, -9999};
  ASSERT_EQ(grid.WriteGrid(packet), grd_svr::ErrNone);
  EXPECT_TRUE(packet.m_GrdDataINT.empty());
  EXPECT_TRUE(packet.m_GrdDataFLT.empty());
  EXPECT_EQ(grid.m_GrdCountY, 3);
  EXPECT_EQ(grid.m_GrdCountX, 4);
  EXPECT_EQ(grid.m_GrdCellSize, 1.0);
  EXPECT_EQ(ReadIntLayer("new"), (Ints{1, M, 3, 4, 5, 6, 7, 8, 9, 10, 11, M}));
  EXPECT_EQ(grid.m_GrdDataINT, (Ints{1, M, 3, 4, 5, 6, 7, 8, 9, 10, 11, M}));
}

TEST_F(SolidTest, WriteGridMapsOnlyExactlyEqualFloatsToMissing) {
  CGSvrMemGrid_Solid grid(Path("floats"), nullptr);
  CGSvrPk_GridOp packet = GridPacket(2);
  packet.m_MissingFLT = -1.5f;
  packet.m_GrdDataFLT = {-1.5f, -1.4999f, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  ASSERT_EQ(grid.WriteGrid(packet), grd_svr::ErrNone);
  const Floats disk = ReadFloatLayer("floats");
  EXPECT_EQ(disk[0], MissingFloat());
  EXPECT_EQ(disk[1], -1.4999f);
  EXPECT_EQ(disk[11], 11.0f);
}

TEST_F(SolidTest, WriteGridWithOtherGeometryIsRefusedAndChangesNothing) {
  CGSvrMemGrid_Solid grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  CGSvrPk_GridOp rows = GridPacket(1);
  rows.m_RowCount = 2;
  rows.m_GrdDataINT.assign(8, 7);
  EXPECT_EQ(grid.WriteGrid(rows), grd_svr::ErrGridBadDimensions);
  CGSvrPk_GridOp corner = GridPacket(1);
  corner.m_XLowerLeft = 0.5;
  corner.m_GrdDataINT.assign(12, 7);
  EXPECT_EQ(grid.WriteGrid(corner), grd_svr::ErrGridBadDimensions);
  CGSvrPk_GridOp size = GridPacket(1);
  size.m_CellSize = 2.0;
  size.m_GrdDataINT.assign(12, 7);
  EXPECT_EQ(grid.WriteGrid(size), grd_svr::ErrGridBadDimensions);
  EXPECT_EQ(ReadIntLayer("ints"), (Ints{0, 1, 2, 3, 10, M, 12, 13, 20, 21, 22, 23}));
  EXPECT_EQ(grid.m_GrdDataINT, (Ints{0, 1, 2, 3, 10, M, 12, 13, 20, 21, 22, 23}));
  EXPECT_EQ(grid.m_GrdCellType, 1);
}

TEST_F(SolidTest, WriteGridWhoseCellsFallShortOfItsCountsIsRefused) {
  CGSvrMemGrid_Solid grid(Path("fresh"), nullptr);
  CGSvrPk_GridOp short_ints = GridPacket(1);
  short_ints.m_GrdDataINT.assign(11, 5);
  EXPECT_EQ(grid.WriteGrid(short_ints), grd_svr::ErrGridBadDimensions);
  // Cells in the other type's vector do not count.
  CGSvrPk_GridOp wrong_vector = GridPacket(2);
  wrong_vector.m_GrdDataINT.assign(12, 5);
  EXPECT_EQ(grid.WriteGrid(wrong_vector), grd_svr::ErrGridBadDimensions);
  CGSvrPk_GridOp long_floats = GridPacket(2);
  long_floats.m_GrdDataFLT.assign(13, 5);
  EXPECT_EQ(grid.WriteGrid(long_floats), grd_svr::ErrGridBadDimensions);
  EXPECT_FALSE(LayerExists("fresh"));
}

TEST_F(SolidTest, WriteGridOfAnUnknownCellTypeKeepsTheOldLayer) {
  CGSvrMemGrid_Solid grid(Path("ints"), nullptr);
  CGSvrPk_GridOp packet = GridPacket(-1);
  packet.m_GrdDataFLT.assign(12, 5);
  EXPECT_EQ(grid.WriteGrid(packet), grd_svr::ErrGridCannotCreate);
  EXPECT_EQ(ReadIntLayer("ints"), (Ints{0, 1, 2, 3, 10, M, 12, 13, 20, 21, 22, 23}));
}

TEST_F(SolidTest, SaveWithoutWindowIsRefused) {
  CGSvrMemGrid_Solid grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  grd_svr::GioState().window.Clear();
  EXPECT_EQ(grid.Save(""), grd_svr::ErrGridNoAccessWindow);
}

TEST_F(SolidTest, SaveUnderAnotherNameCreatesThatLayer) {
  CGSvrMemGrid_Solid grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  ASSERT_EQ(grid.Save(Path("copy")), grd_svr::ErrNone);
  EXPECT_EQ(grid.m_GrdName, Path("copy"));
  EXPECT_EQ(ReadIntLayer("copy"), ReadIntLayer("ints"));
}

TEST_F(SolidTest, ReadBlockPartlyOutsideGivesThePacketsMissingValueOutside) {
  CGSvrMemGrid_Solid grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  CGSvrPk_BlockOp block = Block(-1, 2, 3, 4, 1);
  ASSERT_EQ(grid.ReadBlock(block), grd_svr::ErrNone);
  // Rows -1..1, columns 2..5: row -1 and columns 4, 5 lie outside; the
  // library's marker at (1, 1) is outside the block.
  EXPECT_EQ(block.m_BlkDataINT, (Ints{-99, -99, -99, -99,  //
                                      2, 3, -99, -99,      //
                                      12, 13, -99, -99}));
  EXPECT_TRUE(block.m_BlkDataFLT.empty());
}

TEST_F(SolidTest, ReadBlockReplacesTheLibrarysMarkerByThePacketsMissingValue) {
  CGSvrMemGrid_Solid grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  CGSvrPk_BlockOp ints = Block(1, 0, 1, 3, 1);
  ASSERT_EQ(grid.ReadBlock(ints), grd_svr::ErrNone);
  EXPECT_EQ(ints.m_BlkDataINT, (Ints{10, -99, 12}));
  CGSvrPk_BlockOp floats = Block(1, 0, 1, 3, 2);
  ASSERT_EQ(grid.ReadBlock(floats), grd_svr::ErrNone);
  EXPECT_EQ(floats.m_BlkDataFLT, (Floats{10.0f, -99.5f, 12.0f}));
  EXPECT_TRUE(floats.m_BlkDataINT.empty());
}

TEST_F(SolidTest, ReadBlockOfIntegersFromFloatsTruncatesTowardZero) {
  CGSvrMemGrid_Solid grid(Path("floats"), nullptr);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  CGSvrPk_BlockOp block = Block(0, 0, 1, 4, 1);
  ASSERT_EQ(grid.ReadBlock(block), grd_svr::ErrNone);
  EXPECT_EQ(block.m_BlkDataINT, (Ints{0, 2, -2, -99}));
}

TEST_F(SolidTest, ReadBlockWithoutCellTypeTakesTheGrids) {
  CGSvrMemGrid_Solid grid(Path("floats"), nullptr);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  CGSvrPk_BlockOp block = Block(2, 3, 1, 1, -1);
  block.m_BlkDataINT = {1, 2, 3};
  ASSERT_EQ(grid.ReadBlock(block), grd_svr::ErrNone);
  EXPECT_EQ(block.m_CellType, 2);
  EXPECT_EQ(block.m_BlkDataFLT, (Floats{8.0f}));
  EXPECT_TRUE(block.m_BlkDataINT.empty());
}

TEST_F(SolidTest, ReadBlockRefusesNegativeAndOversizedShapes) {
  CGSvrMemGrid_Solid grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  CGSvrPk_BlockOp negative = Block(0, 0, -2, -3, 1);
  EXPECT_EQ(grid.ReadBlock(negative), grd_svr::ErrGridBadDimensions);
  EXPECT_TRUE(negative.m_BlkDataINT.empty());
  CGSvrPk_BlockOp huge = Block(0, 0, 65536, 65536, 1);
  EXPECT_EQ(grid.ReadBlock(huge), grd_svr::ErrGridTooBig);
  CGSvrPk_BlockOp empty = Block(0, 0, 0, 5, 1);
  EXPECT_EQ(grid.ReadBlock(empty), grd_svr::ErrNone);
  EXPECT_TRUE(empty.m_BlkDataINT.empty());
}

TEST_F(SolidTest, ReadBlockFarOutsideTheGridIsAllMissing) {
  CGSvrMemGrid_Solid grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  CGSvrPk_BlockOp left = Block(0, -10, 2, 5, 1);
  ASSERT_EQ(grid.ReadBlock(left), grd_svr::ErrNone);
  EXPECT_EQ(left.m_BlkDataINT, Ints(10, -99));
  CGSvrPk_BlockOp below = Block(2147483000, 0, 1, 2, 2);
  ASSERT_EQ(grid.ReadBlock(below), grd_svr::ErrNone);
  EXPECT_EQ(below.m_BlkDataFLT, Floats(2, -99.5f));
}

TEST_F(SolidTest, WriteBlockMergesByTransparency) {
  // Grid row 0 becomes {5, marker, 7, 9}; the block writes {b, 3, b, 4}
  // with b the packet's missing value.
  struct Case {
    std::int32_t transparency;
    Ints expected;
  };
  const Case cases[] = {
      {0, {M, 3, M, 4}},
      {1, {5, 3, 7, 4}},
      {2, {5, 3, 7, 13}},
      {7, {5, M, 7, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.transparency);
    WriteIntLayer("row", {5, M, 7, 9, 0, 0, 0, 0, 0, 0, 0, 0});
    CGSvrMemGrid_Solid grid(Path("row"), nullptr);
    ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
    CGSvrPk_BlockOp block = Block(0, 0, 1, 4, 1);
    block.m_Transparency = c.transparency;
    block.m_BlkDataINT = {-99, 3, -99, 4};
    ASSERT_EQ(grid.WriteBlock(block), grd_svr::ErrNone);
    const Ints disk = ReadIntLayer("row");
    EXPECT_EQ(Ints(disk.begin(), disk.begin() + 4), c.expected);
    EXPECT_EQ(Ints(grid.m_GrdDataINT.begin(), grid.m_GrdDataINT.begin() + 4), c.expected);
  }
}

TEST_F(SolidTest, WriteBlockAddsFloatsAndStoresIntoMissingCells) {
  WriteFloatLayer("sum", {1.5f, MissingFloat(), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  CGSvrMemGrid_Solid grid(Path("sum"), nullptr);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  CGSvrPk_BlockOp block = Block(0, 0, 1, 2, 2);
  block.m_Transparency = 2;
  block.m_BlkDataFLT = {2.25f, 2.0f};
  ASSERT_EQ(grid.WriteBlock(block), grd_svr::ErrNone);
  const Floats disk = ReadFloatLayer("sum");
  EXPECT_EQ(disk[0], 3.75f);
  EXPECT_EQ(disk[1], 2.0f);
}

TEST_F(SolidTest, WriteBlockSumSaturatesOnlyWhereItOverflows) {
  WriteIntLayer("big", {2147483000, -2147483000, -2147483000, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  CGSvrMemGrid_Solid grid(Path("big"), nullptr);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  CGSvrPk_BlockOp block = Block(0, 0, 1, 3, 1);
  block.m_Transparency = 2;
  block.m_BlkDataINT = {1000, -1000, -647};
  ASSERT_EQ(grid.WriteBlock(block), grd_svr::ErrNone);
  EXPECT_EQ(grid.m_GrdDataINT[0], INT32_MAX);
  EXPECT_EQ(grid.m_GrdDataINT[1], INT32_MIN);
  // A sum that fits is the sum, marker or not.
  EXPECT_EQ(grid.m_GrdDataINT[2], -2147483647);
}

TEST_F(SolidTest, WriteBlockPartlyOutsideLeavesTheRestOfTheGrid) {
  CGSvrMemGrid_Solid grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  CGSvrPk_BlockOp block = Block(2, 3, 2, 2, 1);
  block.m_BlkDataINT = {100, 101, 102, 103};
  ASSERT_EQ(grid.WriteBlock(block), grd_svr::ErrNone);
  EXPECT_EQ(ReadIntLayer("ints"), (Ints{0, 1, 2, 3, 10, M, 12, 13, 20, 21, 22, 100}));
}

TEST_F(SolidTest, WriteBlockReadsPacketValuesWithThePacketsOwnMarkers) {
  // An integer block onto a float grid: the packet's m_MissingINT converts
  // to its m_MissingFLT, which is the merge's missing value.
  CGSvrMemGrid_Solid grid(Path("floats"), nullptr);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  CGSvrPk_BlockOp block = Block(1, 0, 1, 3, 1);
  block.m_MissingINT = -99;
  block.m_MissingFLT = -1.0f;
  block.m_BlkDataINT = {-99, kMissingInt, 7};
  ASSERT_EQ(grid.WriteBlock(block), grd_svr::ErrNone);
  const Floats disk = ReadFloatLayer("floats");
  EXPECT_EQ(disk[4], MissingFloat());
  EXPECT_EQ(disk[5], static_cast<float>(kMissingInt));
  EXPECT_EQ(disk[6], 7.0f);
}

TEST_F(SolidTest, WriteBlockWhoseCellsFallShortIsRefusedAndWritesNothing) {
  CGSvrMemGrid_Solid grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  CGSvrPk_BlockOp block = Block(0, 0, 2, 2, 1);
  block.m_BlkDataINT = {1, 2, 3};
  EXPECT_EQ(grid.WriteBlock(block), grd_svr::ErrGridBadDimensions);
  CGSvrPk_BlockOp negative = Block(0, 0, -1, -1, 1);
  negative.m_BlkDataINT = {1};
  EXPECT_EQ(grid.WriteBlock(negative), grd_svr::ErrGridBadDimensions);
  EXPECT_EQ(grid.m_GrdDataINT, (Ints{0, 1, 2, 3, 10, M, 12, 13, 20, 21, 22, 23}));
  EXPECT_EQ(ReadIntLayer("ints"), (Ints{0, 1, 2, 3, 10, M, 12, 13, 20, 21, 22, 23}));
}

TEST_F(SolidTest, CellAccessOutsideTheGridGivesTheLibrarysMarkers) {
  CGSvrMemGrid_Solid grid(Path("ints"), nullptr);
  ASSERT_EQ(grid.Load(""), grd_svr::ErrNone);
  EXPECT_EQ(grid.CellAsInt(0, 0), 0);
  EXPECT_EQ(grid.CellAsInt(2, 3), 23);
  EXPECT_EQ(grid.CellAsInt(3, 0), kMissingInt);
  EXPECT_EQ(grid.CellAsInt(0, -1), kMissingInt);
  EXPECT_EQ(grid.CellAsFloat(1, 1), MissingFloat());
  EXPECT_EQ(grid.CellAsFloat(1, 2), 12.0f);
  EXPECT_EQ(grid.CellAsFloat(0, 4), MissingFloat());
}

TEST_F(SolidTest, FillerHoldsZeroIntegerCellsAndNoLayer) {
  CGSvrMemGrid_Solid filler("f_i_l_l_e_r__g_r_i_d_0", nullptr, 6);
  ASSERT_EQ(filler.FillerBytes(), 6 * sizeof(std::int32_t));
  std::vector<std::int32_t> held(6, -1);
  std::memcpy(held.data(), filler.FillerMemory(), filler.FillerBytes());
  EXPECT_EQ(held, Ints(6, 0));
  EXPECT_TRUE(filler.m_GrdDataINT.empty());
  EXPECT_EQ(filler.m_GrdCellType, 0);
  EXPECT_EQ(filler.m_GrdCountY, 0);
  EXPECT_EQ(filler.m_Hits, 0);
  EXPECT_EQ(filler.m_Status, grd_svr::ErrNone);
}

TEST_F(SolidTest, AFillerWrittenToByNameDropsItsReserve) {
  CGSvrMemGrid_Solid filler(Path("f_i_l_l_e_r__g_r_i_d_0"), nullptr, 1000);
  CGSvrPk_GridOp packet = GridPacket(1);
  packet.m_GrdDataINT.assign(12, 5);
  ASSERT_EQ(filler.WriteGrid(packet), grd_svr::ErrNone);
  EXPECT_EQ(filler.FillerBytes(), 0u);
  EXPECT_EQ(filler.m_GrdDataINT, Ints(12, 5));
}

}  // namespace
