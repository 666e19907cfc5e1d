#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "protocol/packets.h"

namespace grd_svr {
namespace {

std::string PrintOf(const CGSvrPacket& p) {
  std::ostringstream os;
  std::ostream& returned = p.Print(os);
  EXPECT_EQ(&returned, &os);
  return os.str();
}

std::string FieldsOf(const CGSvrPacket& p, const std::string& prefix = ">> ") {
  std::ostringstream os;
  p.PrintFields(prefix, &os);
  return os.str();
}

std::string Header(int id, const char* id_name, int type, const char* type_name, int code,
                   const char* signature = "grd_svr_v1.3") {
  return std::string("Signature  : ") + signature + "\n" + "Action ID  : [" + std::to_string(id) +
         "] = " + id_name + "\n" + "Action Type: [" + std::to_string(type) + "] = " + type_name +
         "\n" + "Error Code : [" + std::to_string(code) + "]\n";
}

CGSvrPk_GridDescribe Described(CGSvrPk_GridDescribe p) {
  p.m_GridName = "dem";
  p.m_CellType = 2;
  p.m_RowCount = 3;
  p.m_ColCount = 4;
  p.m_XLowerLeft = 100.5;
  p.m_YLowerLeft = 200.25;
  p.m_CellSize = 30;
  p.m_StatMin = 1;
  p.m_StatMax = 9.5;
  p.m_StatMean = 4.25;
  p.m_StatStdDev = 2.5;
  return p;
}

const char kDescribeLines[] =
    "  Grid name   : dem\n"
    "  Cell type   : 2\n"
    "  Row count   : 3\n"
    "  Col count   : 4\n"
    "  Y lower-left: 200.25\n"
    "  X lower-left: 100.5\n"
    "  Cell size   : 30\n"
    "  StatMin     : 1\n"
    "  StatMax     : 9.5\n"
    "  StatMean    : 4.25\n"
    "  StatStdDev  : 2.5\n";

TEST(HeaderPrintTest, FourLinesWithNamesAndNumericErrorCode) {
  CGSvrPacket p(atResponse, ErrorReport, kPacketSignature);
  p.SetErrorCode(ErrPackNull);
  EXPECT_EQ(PrintOf(p), Header(8, "ErrorReport      ", 2, "atResponse", -10004));
}

TEST(HeaderPrintTest, UnassignedIdAndUnknownType) {
  CGSvrPacket one(7, 1, "x");
  EXPECT_EQ(PrintOf(one), Header(1, "Unknown Action ID", 7, "unknown aid_val", 1, "x"));
  CGSvrPacket zero(atRequest, 0, "x");
  EXPECT_EQ(PrintOf(zero), Header(0, "Unknown          ", 1, "atRequest ", 1, "x"));
}

TEST(HeaderPrintTest, HeaderOnlyClassesPrintTheHeaderAndNoFields) {
  EXPECT_EQ(PrintOf(CGSvrPk_PingServer(atRequest)),
            Header(7, "PingServer       ", 1, "atRequest ", 1));
  EXPECT_EQ(PrintOf(CGSvrPk_GridServerRetire(atRequest)),
            Header(15, "GridServerRetire ", 1, "atRequest ", 1));
  EXPECT_EQ(FieldsOf(CGSvrPk_PingServer(atRequest)), "");
  EXPECT_EQ(FieldsOf(CGSvrPacket()), "");
}

TEST(GridPrintTest, DescribeAndKillPrintTheDescriptionYBeforeX) {
  EXPECT_EQ(PrintOf(Described(CGSvrPk_GridDescribe(atRequest))),
            Header(9, "GridDescribe     ", 1, "atRequest ", 1) + kDescribeLines);
  CGSvrPk_GridKill kill(atRequest);
  static_cast<CGSvrPk_GridDescribe&>(kill) = Described(CGSvrPk_GridDescribe(atRequest, GridKill));
  EXPECT_EQ(PrintOf(kill), Header(4, "GridKill         ", 1, "atRequest ", 1) + kDescribeLines);
}

TEST(GridPrintTest, GridOpAddsMissingValuesAndSizes) {
  CGSvrPk_GridOp op(atRequest, GridWrite);
  static_cast<CGSvrPk_GridDescribe&>(op) = Described(CGSvrPk_GridDescribe(atRequest, GridWrite));
  op.m_MissingINT = -9999;
  op.m_MissingFLT = -0.5f;
  op.m_GrdDataFLT.assign(12, 1.0f);
  EXPECT_EQ(PrintOf(op), Header(3, "GridWrite        ", 1, "atRequest ", 1) + kDescribeLines +
                             "    MissingINT: -9999\n"
                             "    MissingFLT: -0.5\n"
                             "    GrdDataINT: 0 elements\n"
                             "    GrdDataFLT: 12 elements\n");
}

TEST(GridPrintTest, FieldSummaries) {
  EXPECT_EQ(FieldsOf(Described(CGSvrPk_GridDescribe(atRequest))),
            ">> GRD[dem]\n>> GRD_DIMS[ R3 x C4 ]\n>> GRD_CELL[ TYPE: 2 , SIZE: 30 ]\n");
  CGSvrPk_GridKill kill(atRequest);
  kill.m_GridName = "old";
  kill.m_RowCount = 5;
  EXPECT_EQ(FieldsOf(kill, "- "), "- GRD[old]\n");
  CGSvrPk_GridOp op(atRequest, GridLoad);
  static_cast<CGSvrPk_GridDescribe&>(op) = Described(CGSvrPk_GridDescribe(atRequest, GridLoad));
  op.m_GrdDataINT.assign(5, 0);
  EXPECT_EQ(FieldsOf(op),
            ">> GRD[dem]\n>> GRD_DIMS[ R3 x C4 ]\n"
            ">> GRD_CELL[ TYPE: 2 , SIZE: 30 ]\n>> GRD_DATA[ INT: 5 , FLT: 0 ]\n");
}

TEST(BlockPrintTest, EighteenCharacterLabels) {
  CGSvrPk_BlockOp b(atRequest, BlockLoad);
  b.m_GridName = "g";
  b.m_CellType = 1;
  b.m_RowCount = 2;
  b.m_ColCount = 3;
  b.m_XLowerLeft = 7.5;
  b.m_YLowerLeft = 8.5;
  b.m_BlkStartRow = -1;
  b.m_BlkStartCol = 4;
  b.m_MissingINT = -9;
  b.m_Transparency = 2;
  b.m_BlkDataINT.assign(6, 1);
  EXPECT_EQ(PrintOf(b), Header(5, "BlockLoad        ", 1, "atRequest ", 1) +
                            "  Grid name     : g\n"
                            "  Cell type     : 1\n"
                            "  Row count     : 2\n"
                            "  Col count     : 3\n"
                            "  Y lower-left  : 8.5\n"
                            "  X lower-left  : 7.5\n"
                            "  Cell size     : -1\n"
                            "    BlkMinY     : -1\n"
                            "    BlkMaxX     : 4\n"
                            "    MissingINT  : -9\n"
                            "    MissingFLT  : -1\n"
                            "    Transparency: 2\n"
                            "    BlkDataINT  : 6 elements\n"
                            "    BlkDataFLT  : 0 elements\n");
  EXPECT_EQ(FieldsOf(b),
            ">> GRD[g]\n>> BLK_DIMS[ START(R-1 : C4) , SIZE(2 x 3) ]\n"
            ">> BLK_CELL[ TYPE: 1 , SIZE: -1 ]\n");
}

TEST(CatalogPrintTest, CreateCopyAndList) {
  CGSvrPk_GridCreate c(atRequest);
  c.m_GridName = "new";
  c.m_CellType = 1;
  c.m_RowCount = 10;
  c.m_ColCount = 20;
  c.m_XLowerLeft = 0.25;
  c.m_YLowerLeft = 1e6;
  c.m_CellSize = 2;
  c.m_BlockOnly = true;
  EXPECT_EQ(PrintOf(c), Header(10, "GridCreate       ", 1, "atRequest ", 1) +
                            "  Grid name   : new\n"
                            "  Cell type   : 1\n"
                            "  Row count   : 10\n"
                            "  Col count   : 20\n"
                            "  Y lower-left: 1e+06\n"
                            "  X lower-left: 0.25\n"
                            "  Cell size   : 2\n"
                            "  Block only  : 1\n");
  EXPECT_EQ(FieldsOf(c),
            ">> GRD[new]\n>> GRD_DIMS[ R10 x C20 ]\n>> GRD_CELL[ TYPE: 1 , SIZE: 2 ]\n");

  CGSvrPk_GridCopy copy(atRequest);
  copy.m_SourceGridName = "a";
  copy.m_DestinationGridName = "b";
  EXPECT_EQ(PrintOf(copy), Header(14, "GridCopy         ", 1, "atRequest ", 1) +
                               "  Source grid name      : a\n"
                               "  Destination grid name : b\n");
  EXPECT_EQ(FieldsOf(copy), ">> GRD_SRC[a]\n>> GRD_DST[b]\n");

  CGSvrPk_GridList list(atResponse);
  list.m_GridNames = {"x", "y"};
  EXPECT_EQ(PrintOf(list), Header(11, "GridList         ", 2, "atResponse", 1));
}

TEST(CatalogPrintTest, ListFieldsRootAndNumberedNames) {
  CGSvrPk_GridList list(atResponse);
  EXPECT_EQ(FieldsOf(list), ">> No grids found.\n");
  list.m_Root = "/data";
  EXPECT_EQ(FieldsOf(list), ">> ROOT: /data\n>> No grids found.\n");
  list.m_Root.clear();
  list.m_GridNames = {"elev", "slope"};
  EXPECT_EQ(FieldsOf(list, ""), "0. elev\n1. slope\n");
}

TEST(WindowPrintTest, SetGetAndMake) {
  CGSvrPk_AccWndSet set(atResponse);
  set.m_GridName = "w";
  set.m_RowCount = 4;
  set.m_ColCount = 5;
  set.m_XLowerLeft = 1.5;
  set.m_YLowerLeft = 2.5;
  set.m_CellSize = 0.125;
  const std::string lines =
      "  Grid name   : w\n"
      "  Row count   : 4\n"
      "  Col count   : 5\n"
      "  Y lower-left: 2.5\n"
      "  X lower-left: 1.5\n"
      "  Cell size   : 0.125\n"
      "  Block only  : 0\n";
  EXPECT_EQ(PrintOf(set), Header(12, "AccWndSet        ", 2, "atResponse", 1) + lines);
  EXPECT_EQ(FieldsOf(set), ">> GRD[w]\n>> GRD_DIMS[ R4 x C5 ]\n>> GRD_CELL[ SIZE: 0.125 ]\n");

  CGSvrPk_AccWndGet get(atResponse);
  get.m_GridName = "w";
  get.m_RowCount = 4;
  get.m_ColCount = 5;
  get.m_XLowerLeft = 1.5;
  get.m_YLowerLeft = 2.5;
  get.m_CellSize = 0.125;
  EXPECT_EQ(PrintOf(get), Header(16, "AccWndGet        ", 2, "atResponse", 1) + lines);
  EXPECT_EQ(FieldsOf(get), FieldsOf(set));

  CGSvrPk_AccWndMake make(atRequest);
  make.m_RowCount = 4;
  make.m_ColCount = 5;
  make.m_XLowerLeft = 1.5;
  make.m_YLowerLeft = 2.5;
  make.m_CellSize = 0.125;
  make.m_BlockOnly = true;
  EXPECT_EQ(PrintOf(make), Header(13, "AccWndMake       ", 1, "atRequest ", 1) +
                               "  Row count   : 4\n"
                               "  Col count   : 5\n"
                               "  Y lower-left: 2.5\n"
                               "  X lower-left: 1.5\n"
                               "  Cell size   : 0.125\n"
                               "  Block only  : 1\n");
  EXPECT_EQ(FieldsOf(make), ">> GRD_DIMS[ R4 x C5 ]\n>> GRD_CELL[ SIZE: 0.125 ]\n");
}

}  // namespace
}  // namespace grd_svr
