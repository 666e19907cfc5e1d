#include <gtest/gtest.h>

#include "protocol/packets.h"

namespace grd_svr {
namespace {

TEST(PacketHeaderTest, RequestConstructorTakesTypeIdSignatureAndStartsWithErrNone) {
  CGSvrPacket p(atRequest, ErrorReport, "sig");
  EXPECT_EQ(p.GetActionType(), 1);
  EXPECT_EQ(p.GetActionID(), 8);
  EXPECT_EQ(p.GetSignature(), "sig");
  EXPECT_EQ(p.GetClientHost(), "");
  EXPECT_EQ(p.GetErrorCode(), 1);
}

TEST(PacketHeaderTest, DecodingConstructorIsUnknown) {
  CGSvrPk_GridOp p;
  EXPECT_EQ(p.GetSignature(), "UNKNOWN");
  EXPECT_EQ(p.GetActionID(), 0);
  EXPECT_EQ(p.GetActionType(), 0);
  EXPECT_EQ(p.GetErrorCode(), 1);
}

TEST(PacketHeaderTest, SettersChangeOnlyTheirField) {
  CGSvrPk_PingServer p(atRequest);
  p.SetClientHost("host-a");
  p.SetActionType(atResponse);
  p.SetErrorCode(ErrGridTooBig);
  EXPECT_EQ(p.GetClientHost(), "host-a");
  EXPECT_EQ(p.GetActionType(), 2);
  EXPECT_EQ(p.GetErrorCode(), -10016);
  EXPECT_EQ(p.GetActionID(), 7);
  EXPECT_EQ(p.GetSignature(), "grd_svr_v1.3");
}

TEST(PacketIdsTest, FixedIdClassesSupplyTheirOwn) {
  EXPECT_EQ(CGSvrPk_PingServer(atRequest).GetActionID(), 7);
  EXPECT_EQ(CGSvrPk_GridKill(atRequest).GetActionID(), 4);
  EXPECT_EQ(CGSvrPk_GridServerRetire(atRequest).GetActionID(), 15);
}

TEST(PacketIdsTest, DefaultIdsAndPassedIds) {
  EXPECT_EQ(CGSvrPk_GridDescribe(atRequest).GetActionID(), 9);
  EXPECT_EQ(CGSvrPk_GridCreate(atRequest).GetActionID(), 10);
  EXPECT_EQ(CGSvrPk_GridList(atRequest).GetActionID(), 11);
  EXPECT_EQ(CGSvrPk_AccWndSet(atRequest).GetActionID(), 12);
  EXPECT_EQ(CGSvrPk_AccWndMake(atRequest).GetActionID(), 13);
  EXPECT_EQ(CGSvrPk_GridCopy(atRequest).GetActionID(), 14);
  EXPECT_EQ(CGSvrPk_AccWndGet(atRequest).GetActionID(), 16);
  EXPECT_EQ(CGSvrPk_GridOp(atRequest, GridWrite).GetActionID(), 3);
  EXPECT_EQ(CGSvrPk_BlockOp(atRequest, BlockLoad).GetActionID(), 5);
  EXPECT_EQ(CGSvrPk_GridDescribe(atRequest, 3).GetActionID(), 3);
  EXPECT_EQ(CGSvrPk_GridList(atRequest).GetSignature(), "grd_svr_v1.3");
  EXPECT_EQ(CGSvrPk_BlockOp(atResponse, BlockLoad).GetActionType(), atResponse);
}

TEST(PacketDefaultsTest, GridOpStartsMinusOneEverywhere) {
  CGSvrPk_GridOp p(atRequest, GridLoad);
  EXPECT_EQ(p.m_MissingINT, -1);
  EXPECT_EQ(p.m_MissingFLT, -1.0f);
  EXPECT_EQ(p.m_GridName, "");
  EXPECT_EQ(p.m_CellType, -1);
  EXPECT_EQ(p.m_RowCount, -1);
  EXPECT_EQ(p.m_ColCount, -1);
  for (double v : {p.m_XLowerLeft, p.m_YLowerLeft, p.m_CellSize, p.m_StatMin, p.m_StatMax,
                   p.m_StatMean, p.m_StatStdDev}) {
    EXPECT_EQ(v, -1.0);
  }
  EXPECT_TRUE(p.m_GrdDataINT.empty());
  EXPECT_TRUE(p.m_GrdDataFLT.empty());
}

TEST(PacketDefaultsTest, BlockOpTransparencyZeroRestMinusOne) {
  CGSvrPk_BlockOp p(atRequest, BlockWrite);
  EXPECT_EQ(p.m_Transparency, 0);
  EXPECT_EQ(p.m_BlkStartRow, -1);
  EXPECT_EQ(p.m_BlkStartCol, -1);
  EXPECT_EQ(p.m_MissingINT, -1);
  EXPECT_EQ(p.m_MissingFLT, -1.0f);
  EXPECT_EQ(p.m_CellSize, -1.0);
}

TEST(PacketDefaultsTest, WindowAndCreateBlockOnlyFalse) {
  EXPECT_FALSE(CGSvrPk_GridCreate(atRequest).m_BlockOnly);
  EXPECT_FALSE(CGSvrPk_AccWndSet(atRequest).m_BlockOnly);
  EXPECT_FALSE(CGSvrPk_AccWndGet(atRequest).m_BlockOnly);
  CGSvrPk_AccWndMake make(atRequest);
  EXPECT_FALSE(make.m_BlockOnly);
  EXPECT_EQ(make.m_RowCount, -1);
  EXPECT_EQ(make.m_CellSize, -1.0);
}

TEST(ClearDataTest, EmptiesBothCellVectorsOfGridAndBlockOps) {
  CGSvrPk_GridOp g(atResponse, GridLoad);
  g.m_GrdDataINT = {1, 2};
  g.m_GrdDataFLT = {3.0f};
  g.m_GridName = "keep";
  g.m_RowCount = 1;
  CGSvrPacket& as_base = g;
  as_base.ClearData();
  EXPECT_TRUE(g.m_GrdDataINT.empty());
  EXPECT_TRUE(g.m_GrdDataFLT.empty());
  EXPECT_EQ(g.m_GridName, "keep");
  EXPECT_EQ(g.m_RowCount, 1);

  CGSvrPk_BlockOp b(atResponse, BlockLoad);
  b.m_BlkDataINT = {7};
  b.m_BlkDataFLT = {8.0f, 9.0f};
  b.m_Transparency = 2;
  static_cast<CGSvrPacket&>(b).ClearData();
  EXPECT_TRUE(b.m_BlkDataINT.empty());
  EXPECT_TRUE(b.m_BlkDataFLT.empty());
  EXPECT_EQ(b.m_Transparency, 2);
}

TEST(ClearDataTest, OtherClassesKeepEverything) {
  CGSvrPk_GridList list(atResponse);
  list.m_GridNames = {"a", "b"};
  list.m_Root = "r";
  static_cast<CGSvrPacket&>(list).ClearData();
  EXPECT_EQ(list.m_GridNames.size(), 2u);
  EXPECT_EQ(list.m_Root, "r");

  CGSvrPk_GridDescribe d(atResponse);
  d.m_StatMax = 5.0;
  static_cast<CGSvrPacket&>(d).ClearData();
  EXPECT_EQ(d.m_StatMax, 5.0);
}

}  // namespace
}  // namespace grd_svr
