#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "exports/grid_api.h"
#include "gridapi_fixture.h"
#include "protocol/packets.h"

namespace gridapi_test {
namespace {

using grd_svr::CGSvrPk_GridOp;

// A reply to a GridLoad as a server fills it: rows x cols cells of the type.
Answer GridReply(int rows, int cols, int type, std::vector<int> ints, std::vector<float> floats,
                 int code = grd_svr::ErrNone) {
  return [=](PacketPtr request) {
    auto* op = dynamic_cast<CGSvrPk_GridOp*>(request.get());
    op->m_RowCount = rows;
    op->m_ColCount = cols;
    op->m_CellType = type;
    op->m_GrdDataINT = ints;
    op->m_GrdDataFLT = floats;
    return Respond(request, code);
  };
}

using ReadGridTest = SessionTest;

TEST_F(ReadGridTest, NullArrayIsCheckedBeforeTheName) {
  UseHandler();
  int cells[1];
  EXPECT_EQ(readgrid_int(nullptr, 0, nullptr), -661);
  EXPECT_EQ(readgrid_dbl("g", 0.0, nullptr), -661);
  EXPECT_EQ(readgrid_int(nullptr, 0, cells), -662);
  EXPECT_EQ(RequestCount(), 0u);
}

TEST_F(ReadGridTest, RequestAsksForGridLoadWithTheMissingValueInBothTypes) {
  CGSvrPk_GridOp request;
  UseHandler([&request](PacketPtr p) {
    request = *dynamic_cast<CGSvrPk_GridOp*>(p.get());  // as sent, before the reply fills it
    return GridReply(1, 1, 2, {}, {0.0f})(p);
  });
  double cells[1];
  ASSERT_EQ(readgrid_dbl("elev", -99.5, cells), 1);
  EXPECT_EQ(request.GetActionID(), grd_svr::GridLoad);
  EXPECT_EQ(request.m_GridName, "elev");
  EXPECT_EQ(request.m_MissingINT, -99);
  EXPECT_EQ(request.m_MissingFLT, -99.5f);
  // What the grid is like is the server's to say.
  EXPECT_EQ(request.m_CellType, -1);
  EXPECT_EQ(request.m_RowCount, -1);
  EXPECT_EQ(request.m_ColCount, -1);
}

TEST_F(ReadGridTest, NegativeMissingValueTruncatesTowardZero) {
  UseHandler(GridReply(1, 1, 1, {0}, {}));
  double cells[1];
  ASSERT_EQ(readgrid_dbl("g", -2.9, cells), 1);
  EXPECT_EQ(Request<CGSvrPk_GridOp>().m_MissingINT, -2);
}

TEST_F(ReadGridTest, NaNMissingValueBecomesIntMinForIntegerCells) {
  UseHandler(GridReply(1, 1, 1, {0}, {}));
  double cells[1];
  ASSERT_EQ(readgrid_dbl("g", std::nan(""), cells), 1);
  EXPECT_EQ(Request<CGSvrPk_GridOp>().m_MissingINT, INT_MIN);
  EXPECT_TRUE(std::isnan(Request<CGSvrPk_GridOp>().m_MissingFLT));
}

TEST_F(ReadGridTest, IntegerReadOfFloatCellsTruncatesTowardZero) {
  UseHandler(GridReply(2, 2, 2, {}, {2.7f, -2.7f, 0.5f, -0.5f}));
  int cells[4] = {9, 9, 9, 9};
  ASSERT_EQ(readgrid_int("g", -1, cells), 1);
  EXPECT_EQ(std::vector<int>(cells, cells + 4), (std::vector<int>{2, -2, 0, 0}));
}

TEST_F(ReadGridTest, IntegerReadOfUnrepresentableFloatsIsClamped) {
  UseHandler(GridReply(1, 3, 2, {}, {3e9f, -3e9f, std::nanf("")}));
  int cells[3];
  ASSERT_EQ(readgrid_int("g", -1, cells), 1);
  EXPECT_EQ(cells[0], INT_MAX);
  EXPECT_EQ(cells[1], INT_MIN);
  EXPECT_EQ(cells[2], INT_MIN);
}

TEST_F(ReadGridTest, DoubleReadWidensEitherCellTypeInRowOrder) {
  UseHandler(GridReply(2, 3, 1, {1, 2, 3, 4, 5, -99}, {}));
  double cells[6];
  ASSERT_EQ(readgrid_dbl("g", -99.5, cells), 1);
  EXPECT_EQ(std::vector<double>(cells, cells + 6), (std::vector<double>{1, 2, 3, 4, 5, -99}));
}

TEST_F(ReadGridTest, CopiesRowsTimesColumnsOfTheReplyAndNoMore) {
  UseHandler(GridReply(1, 2, 2, {}, {0.25f, 0.5f, 7.0f}));
  double cells[3] = {-1, -1, -1};
  ASSERT_EQ(readgrid_dbl("g", 0, cells), 1);
  EXPECT_EQ(std::vector<double>(cells, cells + 3), (std::vector<double>{0.25, 0.5, -1}));
}

TEST_F(ReadGridTest, ShortReplyGivesMinus663AndLeavesTheArray) {
  // 2 x 2 announced, three cells carried: a peer that cut its reply.
  UseHandler(GridReply(2, 2, 2, {}, {1, 2, 3}));
  double cells[4] = {-1, -1, -1, -1};
  EXPECT_EQ(readgrid_dbl("g", 0, cells), -663);
  EXPECT_EQ(std::vector<double>(cells, cells + 4), (std::vector<double>{-1, -1, -1, -1}));
}

TEST_F(ReadGridTest, ReplyWithCellsInTheOtherVectorIsShort) {
  UseHandler(GridReply(1, 2, 1, {}, {1, 2}));
  int cells[2] = {5, 5};
  EXPECT_EQ(readgrid_int("g", 0, cells), -663);
  EXPECT_EQ(cells[0], 5);
}

TEST_F(ReadGridTest, NegativeCountsInTheReplyGiveMinus663) {
  UseHandler(GridReply(-1, -4, 2, {}, {1, 2, 3, 4}));
  double cells[4] = {0, 0, 0, 0};
  EXPECT_EQ(readgrid_dbl("g", 0, cells), -663);
  EXPECT_EQ(cells[0], 0);
}

TEST_F(ReadGridTest, ServerErrorIsReturnedAndTheArrayUntouched) {
  UseHandler(GridReply(1, 1, 2, {}, {5.0f}, grd_svr::ErrGridCannotFind));
  double cells[1] = {42};
  EXPECT_EQ(readgrid_dbl("missing", 0, cells), -10007);
  EXPECT_EQ(cells[0], 42);
}

TEST_F(ReadGridTest, ReplyOfAnotherClassReturnsOneWithTheArrayUntouched) {
  UseHandler([](PacketPtr) -> PacketPtr {
    return boost::make_shared<grd_svr::CGSvrPk_BlockOp>(grd_svr::atResponse, grd_svr::BlockLoad);
  });
  double cells[1] = {42};
  EXPECT_EQ(readgrid_dbl("g", 0, cells), 1);
  EXPECT_EQ(cells[0], 42);
}

TEST_F(ReadGridTest, WithoutSessionGivesMinus630) {
  double cells[1] = {42};
  int ints[1] = {42};
  EXPECT_EQ(readgrid_dbl("g", 0, cells), -630);
  EXPECT_EQ(readgrid_int("g", 0, ints), -630);
  EXPECT_EQ(cells[0], 42);
}

using WriteGridTest = SessionTest;

TEST_F(WriteGridTest, ChecksInOrderWithoutContactingTheServer) {
  UseHandler();
  const int cells[1] = {0};
  EXPECT_EQ(writegrid_int(nullptr, 0, 0, 0, nullptr), -681);
  EXPECT_EQ(writegrid_int("g", 0, 0, 0, nullptr), -682);
  EXPECT_EQ(writegrid_int("g", 0, 5, 0, cells), -683);
  EXPECT_EQ(writegrid_int("g", -3, 5, 0, cells), -683);
  EXPECT_EQ(writegrid_int("g", 1, 0, 0, cells), -684);
  EXPECT_EQ(writegrid_dbl("g", 1, -1, 0, nullptr), -682);
  EXPECT_EQ(RequestCount(), 0u);
}

TEST_F(WriteGridTest, DoubleWriteSendsSixFloatsAndNoIntegers) {
  UseHandler();
  const double cells[6] = {1.5, 2, 3, 4, 5, 0.1};
  ASSERT_EQ(writegrid_dbl("out", 2, 3, -99.5, cells), 1);
  const CGSvrPk_GridOp& request = Request<CGSvrPk_GridOp>();
  EXPECT_EQ(request.GetActionID(), grd_svr::GridWrite);
  EXPECT_EQ(request.m_GridName, "out");
  EXPECT_EQ(request.m_RowCount, 2);
  EXPECT_EQ(request.m_ColCount, 3);
  EXPECT_EQ(request.m_CellType, 2);
  EXPECT_EQ(request.m_MissingINT, -99);
  EXPECT_EQ(request.m_MissingFLT, -99.5f);
  EXPECT_EQ(request.m_GrdDataFLT, (std::vector<float>{1.5f, 2, 3, 4, 5, 0.1f}));
  EXPECT_TRUE(request.m_GrdDataINT.empty());
  EXPECT_EQ(request.m_XLowerLeft, -1.0);
  EXPECT_EQ(request.m_CellSize, -1.0);
  EXPECT_EQ(request.m_StatMean, -1.0);
}

TEST_F(WriteGridTest, IntegerWriteSendsTheFirstRowsTimesColumnsCells) {
  UseHandler();
  const int cells[5] = {7, -8, 9, 10, 11};
  ASSERT_EQ(writegrid_int("out", 2, 2, -1, cells), 1);
  const CGSvrPk_GridOp& request = Request<CGSvrPk_GridOp>();
  EXPECT_EQ(request.m_CellType, 1);
  EXPECT_EQ(request.m_GrdDataINT, (std::vector<int>{7, -8, 9, 10}));
  EXPECT_TRUE(request.m_GrdDataFLT.empty());
  EXPECT_EQ(request.m_MissingFLT, -1.0f);
}

TEST_F(WriteGridTest, DoublesBeyondTheFloatRangeBecomeInfinite) {
  UseHandler();
  const double cells[2] = {1e300, -1e300};
  ASSERT_EQ(writegrid_dbl("out", 1, 2, 0, cells), 1);
  const CGSvrPk_GridOp& request = Request<CGSvrPk_GridOp>();
  EXPECT_TRUE(std::isinf(request.m_GrdDataFLT[0]) && request.m_GrdDataFLT[0] > 0);
  EXPECT_TRUE(std::isinf(request.m_GrdDataFLT[1]) && request.m_GrdDataFLT[1] < 0);
}

TEST_F(WriteGridTest, ReturnsTheExchangesCodeUnchanged) {
  UseHandler([](PacketPtr p) { return Respond(p, grd_svr::ErrGridBadDimensions); });
  const int cells[1] = {1};
  EXPECT_EQ(writegrid_int("out", 1, 1, 0, cells), -10015);
  mirl::session::CloseSession();
  EXPECT_EQ(writegrid_int("out", 1, 1, 0, cells), -630);
}

TEST_F(WriteGridTest, ExceptionInTheWorkGivesMinus680) {
  UseHandler();
  // Far more cells than memory: the request cannot be filled.
  const int cells[1] = {1};
  EXPECT_EQ(writegrid_int("out", 2000000000, 2000000000, 0, cells), -680);
  EXPECT_EQ(RequestCount(), 0u);
}

}  // namespace
}  // namespace gridapi_test
