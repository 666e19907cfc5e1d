#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "exports/grid_api.h"
#include "gridapi_fixture.h"
#include "protocol/packets.h"

namespace gridapi_test {
namespace {

using grd_svr::CGSvrPk_BlockOp;

// Answers a BlockLoad as a server would: the cells of grid row r, column c
// are 10 r + c inside a grid of rows x cols, and the request's missing value
// outside it.
Answer BlockOfGrid(int rows, int cols) {
  return [=](PacketPtr request) {
    auto* op = dynamic_cast<CGSvrPk_BlockOp*>(request.get());
    for (int r = op->m_BlkStartRow; r < op->m_BlkStartRow + op->m_RowCount; ++r)
      for (int c = op->m_BlkStartCol; c < op->m_BlkStartCol + op->m_ColCount; ++c) {
        const bool inside = r >= 0 && r < rows && c >= 0 && c < cols;
        if (op->m_CellType == 1)
          op->m_BlkDataINT.push_back(inside ? 10 * r + c : op->m_MissingINT);
        else
          op->m_BlkDataFLT.push_back(inside ? 10.0f * r + c + 0.5f : op->m_MissingFLT);
      }
    return Respond(request);
  };
}

using ReadBlockTest = SessionTest;

TEST_F(ReadBlockTest, ChecksInOrder) {
  UseHandler();
  int cells[1];
  EXPECT_EQ(readblock_int(nullptr, 0, 0, 0, 0, -1, 0, nullptr), -701);
  EXPECT_EQ(readblock_int("g", 0, 0, 0, 0, -1, 0, nullptr), -702);
  EXPECT_EQ(readblock_int("g", 1, 0, 0, 0, -1, 0, nullptr), -703);
  EXPECT_EQ(readblock_int("g", 1, 1, 0, 0, -1, 0, nullptr), -704);
  EXPECT_EQ(readblock_int("g", 1, 1, 1, 0, -1, 0, nullptr), -705);
  EXPECT_EQ(readblock_int("g", 1, 1, 1, 1, -1, 0, nullptr), -706);
  EXPECT_EQ(readblock_int("g", 1, 1, 1, 1, -1, 0, cells), -707);
  EXPECT_EQ(readblock_dbl("g", 1, -4, 1, 1, -1, 0, nullptr), -703);
  EXPECT_EQ(RequestCount(), 0u);
}

TEST_F(ReadBlockTest, MarginWidensTheBlockOnEverySide) {
  UseHandler(BlockOfGrid(3, 4));
  std::vector<int> cells(21, 12345);
  ASSERT_EQ(readblock_int("g", 1, 1, 2, 3, 1, -9, cells.data()), 1);
  const CGSvrPk_BlockOp& request = Request<CGSvrPk_BlockOp>();
  EXPECT_EQ(request.GetActionID(), grd_svr::BlockLoad);
  EXPECT_EQ(request.m_BlkStartRow, -1);
  EXPECT_EQ(request.m_BlkStartCol, -1);
  EXPECT_EQ(request.m_RowCount, 4);
  EXPECT_EQ(request.m_ColCount, 5);
  EXPECT_EQ(request.m_CellType, 1);
  // Grid row -1 and column -1 lie outside: the missing value.
  const std::vector<int> expected = {-9, -9, -9, -9, -9,  //
                                     -9, 0,  1,  2,  3,   //
                                     -9, 10, 11, 12, 13,  //
                                     -9, 20, 21, 22, 23, 12345};
  EXPECT_EQ(cells, expected);
}

TEST_F(ReadBlockTest, WithoutMarginTheBlockStartsOneRowAndColumnEarlier) {
  UseHandler(BlockOfGrid(5, 5));
  std::vector<double> cells(4, 0.0);
  ASSERT_EQ(readblock_dbl("g", 2, 3, 2, 2, 0, -99.5, cells.data()), 1);
  const CGSvrPk_BlockOp& request = Request<CGSvrPk_BlockOp>();
  EXPECT_EQ(request.m_BlkStartRow, 1);
  EXPECT_EQ(request.m_BlkStartCol, 2);
  EXPECT_EQ(request.m_RowCount, 2);
  EXPECT_EQ(request.m_ColCount, 2);
  EXPECT_EQ(request.m_CellType, 2);
  EXPECT_EQ(request.m_MissingINT, -99);
  EXPECT_EQ(request.m_MissingFLT, -99.5f);
  EXPECT_EQ(cells, (std::vector<double>{12.5, 13.5, 22.5, 23.5}));
}

TEST_F(ReadBlockTest, IntegerReadOfFloatCellsTruncates) {
  UseHandler([](PacketPtr request) {
    auto* op = dynamic_cast<CGSvrPk_BlockOp*>(request.get());
    op->m_CellType = 2;
    op->m_BlkDataFLT = {2.7f, -2.7f};
    return Respond(request);
  });
  int cells[2];
  ASSERT_EQ(readblock_int("g", 1, 1, 1, 2, 0, 0, cells), 1);
  EXPECT_EQ(cells[0], 2);
  EXPECT_EQ(cells[1], -2);
}

TEST_F(ReadBlockTest, ShortReplyGivesMinus708AndLeavesTheArray) {
  UseHandler([](PacketPtr request) {
    auto* op = dynamic_cast<CGSvrPk_BlockOp*>(request.get());
    op->m_BlkDataINT = {1, 2, 3};
    return Respond(request);
  });
  int cells[4] = {0, 0, 0, 0};
  EXPECT_EQ(readblock_int("g", 1, 1, 2, 2, 0, 0, cells), -708);
  EXPECT_EQ(std::vector<int>(cells, cells + 4), (std::vector<int>{0, 0, 0, 0}));
}

TEST_F(ReadBlockTest, MarginTooWideForAPacketGivesMinus707) {
  UseHandler();
  int cells[1];
  EXPECT_EQ(readblock_int("g", 1, 1, 1, 1, INT_MAX / 2 + 1, 0, cells), -707);
  EXPECT_EQ(RequestCount(), 0u);
}

TEST_F(ReadBlockTest, ServerErrorLeavesTheArray) {
  UseHandler([](PacketPtr p) { return Respond(p, grd_svr::ErrGridNoAccessWindow); });
  int cells[1] = {3};
  EXPECT_EQ(readblock_int("g", 1, 1, 1, 1, 0, 0, cells), -10013);
  EXPECT_EQ(cells[0], 3);
}

TEST_F(ReadBlockTest, WithoutSessionGivesMinus630) {
  double cells[1];
  EXPECT_EQ(readblock_dbl("g", 1, 1, 1, 1, 2, 0, cells), -630);
}

using WriteBlockTest = SessionTest;

TEST_F(WriteBlockTest, ChecksInOrder) {
  UseHandler();
  const int cells[1] = {0};
  EXPECT_EQ(writeblock_int(nullptr, 0, 0, 0, 0, 0, nullptr, 3), -721);
  EXPECT_EQ(writeblock_int("g", 0, 0, 0, 0, 0, nullptr, 3), -722);
  EXPECT_EQ(writeblock_int("g", 1, 0, 0, 0, 0, nullptr, 3), -723);
  EXPECT_EQ(writeblock_int("g", 1, 1, 0, 0, 0, nullptr, 3), -724);
  EXPECT_EQ(writeblock_int("g", 1, 1, 1, 0, 0, nullptr, 3), -725);
  EXPECT_EQ(writeblock_int("g", 1, 1, 1, 1, 0, nullptr, 3), -726);
  EXPECT_EQ(writeblock_int("g", 1, 1, 1, 1, 0, cells, 3), -727);
  EXPECT_EQ(writeblock_dbl("g", 1, 1, 1, 1, 0, nullptr, -1), -726);
  EXPECT_EQ(RequestCount(), 0u);
}

TEST_F(WriteBlockTest, RequestCarriesTheBlockFromZeroAndTheMode) {
  UseHandler();
  const double cells[6] = {1, 2, 3, 4, 5, 6.25};
  ASSERT_EQ(writeblock_dbl("g", 3, 2, 2, 3, -1.5, cells, 2), 1);
  const CGSvrPk_BlockOp& request = Request<CGSvrPk_BlockOp>();
  EXPECT_EQ(request.GetActionID(), grd_svr::BlockWrite);
  EXPECT_EQ(request.m_GridName, "g");
  EXPECT_EQ(request.m_BlkStartRow, 2);
  EXPECT_EQ(request.m_BlkStartCol, 1);
  EXPECT_EQ(request.m_RowCount, 2);
  EXPECT_EQ(request.m_ColCount, 3);
  EXPECT_EQ(request.m_CellType, 2);
  EXPECT_EQ(request.m_Transparency, 2);
  EXPECT_EQ(request.m_MissingINT, -1);
  EXPECT_EQ(request.m_MissingFLT, -1.5f);
  EXPECT_EQ(request.m_BlkDataFLT, (std::vector<float>{1, 2, 3, 4, 5, 6.25f}));
  EXPECT_TRUE(request.m_BlkDataINT.empty());
}

TEST_F(WriteBlockTest, IntegerBlockGoesIntoTheIntegerVector) {
  UseHandler();
  const int cells[2] = {4, -4};
  ASSERT_EQ(writeblock_int("g", 1, 1, 1, 2, 0, cells, 0), 1);
  EXPECT_EQ(Request<CGSvrPk_BlockOp>().m_BlkDataINT, (std::vector<int>{4, -4}));
  EXPECT_EQ(Request<CGSvrPk_BlockOp>().m_CellType, 1);
}

TEST_F(WriteBlockTest, ReturnsTheExchangesCode) {
  UseHandler([](PacketPtr p) { return Respond(p, grd_svr::ErrGridCannotFind); });
  const int cells[1] = {1};
  EXPECT_EQ(writeblock_int("g", 1, 1, 1, 1, 0, cells, 1), -10007);
  mirl::session::CloseSession();
  EXPECT_EQ(writeblock_int("g", 1, 1, 1, 1, 0, cells, 1), -630);
}

}  // namespace
}  // namespace gridapi_test
