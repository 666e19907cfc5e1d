#include <gtest/gtest.h>

#include "exports/grid_api.h"
#include "gridapi_fixture.h"
#include "protocol/packets.h"

namespace gridapi_test {
namespace {

// The six window values as a caller holds them.
struct Window {
  int y_count = -7;
  int x_count = -7;
  double y_ll = -7;
  double x_ll = -7;
  double cell_size = -7;
  int block_only = -7;
  bool Untouched() const {
    return y_count == -7 && x_count == -7 && y_ll == -7 && x_ll == -7 && cell_size == -7 &&
           block_only == -7;
  }
};

// A window reply: 30 rows, 40 columns, lower-left (x 500, y 100), cells of
// 25, block-only; x and y differ so that a swap shows.
template <class P>
Answer WindowReply(int code = grd_svr::ErrNone) {
  return [code](PacketPtr request) {
    auto* p = dynamic_cast<P*>(request.get());
    p->m_RowCount = 30;
    p->m_ColCount = 40;
    p->m_XLowerLeft = 500;
    p->m_YLowerLeft = 100;
    p->m_CellSize = 25;
    p->m_BlockOnly = true;
    return Respond(request, code);
  };
}

void ExpectReplyWindow(const Window& w) {
  EXPECT_EQ(w.y_count, 30);
  EXPECT_EQ(w.x_count, 40);
  EXPECT_EQ(w.y_ll, 100);
  EXPECT_EQ(w.x_ll, 500);
  EXPECT_EQ(w.cell_size, 25);
  EXPECT_EQ(w.block_only, 1);
}

using WindowTest = SessionTest;

TEST_F(WindowTest, SetwindowChecksTheNameThenEachPointer) {
  UseHandler();
  Window w;
  EXPECT_EQ(setwindow(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), -601);
  EXPECT_EQ(setwindow("g", nullptr, &w.x_count, &w.y_ll, &w.x_ll, &w.cell_size, &w.block_only),
            -602);
  EXPECT_EQ(setwindow("g", &w.y_count, nullptr, &w.y_ll, &w.x_ll, &w.cell_size, &w.block_only),
            -603);
  EXPECT_EQ(setwindow("g", &w.y_count, &w.x_count, nullptr, &w.x_ll, &w.cell_size, &w.block_only),
            -604);
  EXPECT_EQ(setwindow("g", &w.y_count, &w.x_count, &w.y_ll, nullptr, &w.cell_size, &w.block_only),
            -605);
  EXPECT_EQ(setwindow("g", &w.y_count, &w.x_count, &w.y_ll, &w.x_ll, nullptr, &w.block_only), -606);
  EXPECT_EQ(setwindow("g", &w.y_count, &w.x_count, &w.y_ll, &w.x_ll, &w.cell_size, nullptr), -608);
  EXPECT_EQ(RequestCount(), 0u);
  EXPECT_TRUE(w.Untouched());
}

TEST_F(WindowTest, MakewindowAndGetwindowHaveNoNameSoStartOneCodeLater) {
  UseHandler();
  Window w;
  EXPECT_EQ(makewindow(nullptr, &w.x_count, &w.y_ll, &w.x_ll, &w.cell_size, &w.block_only), -762);
  EXPECT_EQ(makewindow(&w.y_count, nullptr, &w.y_ll, &w.x_ll, &w.cell_size, &w.block_only), -763);
  EXPECT_EQ(makewindow(&w.y_count, &w.x_count, nullptr, &w.x_ll, &w.cell_size, &w.block_only),
            -764);
  EXPECT_EQ(makewindow(&w.y_count, &w.x_count, &w.y_ll, nullptr, &w.cell_size, &w.block_only),
            -765);
  EXPECT_EQ(makewindow(&w.y_count, &w.x_count, &w.y_ll, &w.x_ll, nullptr, &w.block_only), -766);
  EXPECT_EQ(makewindow(&w.y_count, &w.x_count, &w.y_ll, &w.x_ll, &w.cell_size, nullptr), -768);
  EXPECT_EQ(getwindow(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), -522);
  EXPECT_EQ(getwindow(&w.y_count, nullptr, &w.y_ll, &w.x_ll, &w.cell_size, &w.block_only), -523);
  EXPECT_EQ(getwindow(&w.y_count, &w.x_count, nullptr, &w.x_ll, &w.cell_size, &w.block_only), -524);
  EXPECT_EQ(getwindow(&w.y_count, &w.x_count, &w.y_ll, nullptr, &w.cell_size, &w.block_only), -525);
  EXPECT_EQ(getwindow(&w.y_count, &w.x_count, &w.y_ll, &w.x_ll, nullptr, &w.block_only), -526);
  EXPECT_EQ(getwindow(&w.y_count, &w.x_count, &w.y_ll, &w.x_ll, &w.cell_size, nullptr), -528);
  EXPECT_EQ(RequestCount(), 0u);
}

TEST_F(WindowTest, SetwindowSendsOnlyTheNameAndStoresTheReplysWindow) {
  UseHandler(WindowReply<grd_svr::CGSvrPk_AccWndSet>());
  Window w;
  ASSERT_EQ(setwindow("dem", &w.y_count, &w.x_count, &w.y_ll, &w.x_ll, &w.cell_size, &w.block_only),
            1);
  const auto& request = Request<grd_svr::CGSvrPk_AccWndSet>();
  EXPECT_EQ(request.GetActionID(), grd_svr::AccWndSet);
  EXPECT_EQ(request.m_GridName, "dem");
  EXPECT_EQ(request.m_RowCount, 30);  // the reply is the request, filled in
  ExpectReplyWindow(w);
}

TEST_F(WindowTest, MakewindowSendsTheGeometryButNotBlockOnly) {
  grd_svr::CGSvrPk_AccWndMake sent;
  UseHandler([&sent](PacketPtr request) {
    sent = *dynamic_cast<grd_svr::CGSvrPk_AccWndMake*>(request.get());
    return WindowReply<grd_svr::CGSvrPk_AccWndMake>()(request);
  });
  Window w;
  w.y_count = 3;
  w.x_count = 4;
  w.y_ll = 20;
  w.x_ll = 10;
  w.cell_size = 2.5;
  w.block_only = 1;
  ASSERT_EQ(makewindow(&w.y_count, &w.x_count, &w.y_ll, &w.x_ll, &w.cell_size, &w.block_only), 1);
  EXPECT_EQ(sent.GetActionID(), grd_svr::AccWndMake);
  EXPECT_EQ(sent.m_RowCount, 3);
  EXPECT_EQ(sent.m_ColCount, 4);
  EXPECT_EQ(sent.m_YLowerLeft, 20);
  EXPECT_EQ(sent.m_XLowerLeft, 10);
  EXPECT_EQ(sent.m_CellSize, 2.5);
  EXPECT_FALSE(sent.m_BlockOnly);
  ExpectReplyWindow(w);
}

TEST_F(WindowTest, ExistingWindowIsReturnedWithMinus10014ByBothSetters) {
  UseHandler(WindowReply<grd_svr::CGSvrPk_AccWndMake>(grd_svr::ErrGridAccessWindowExists));
  Window w;
  EXPECT_EQ(makewindow(&w.y_count, &w.x_count, &w.y_ll, &w.x_ll, &w.cell_size, &w.block_only),
            -10014);
  ExpectReplyWindow(w);
  mirl::session::CloseSession();
  UseHandler(WindowReply<grd_svr::CGSvrPk_AccWndSet>(grd_svr::ErrGridAccessWindowExists));
  Window s;
  EXPECT_EQ(setwindow("g", &s.y_count, &s.x_count, &s.y_ll, &s.x_ll, &s.cell_size, &s.block_only),
            -10014);
  ExpectReplyWindow(s);
}

TEST_F(WindowTest, OtherServerErrorsLeaveTheValues) {
  UseHandler(WindowReply<grd_svr::CGSvrPk_AccWndSet>(grd_svr::ErrGridCannotFind));
  Window w;
  EXPECT_EQ(setwindow("g", &w.y_count, &w.x_count, &w.y_ll, &w.x_ll, &w.cell_size, &w.block_only),
            -10007);
  EXPECT_TRUE(w.Untouched());
}

TEST_F(WindowTest, GetwindowWithoutWindowGivesMinus10013AndLeavesTheValues) {
  UseHandler(WindowReply<grd_svr::CGSvrPk_AccWndGet>(grd_svr::ErrGridNoAccessWindow));
  Window w;
  EXPECT_EQ(getwindow(&w.y_count, &w.x_count, &w.y_ll, &w.x_ll, &w.cell_size, &w.block_only),
            -10013);
  EXPECT_TRUE(w.Untouched());
  EXPECT_EQ(Request<grd_svr::CGSvrPk_AccWndGet>().m_GridName, "");
}

TEST_F(WindowTest, GetwindowStoresTheWindowInForce) {
  UseHandler(WindowReply<grd_svr::CGSvrPk_AccWndGet>());
  Window w;
  EXPECT_EQ(getwindow(&w.y_count, &w.x_count, &w.y_ll, &w.x_ll, &w.cell_size, &w.block_only), 1);
  ExpectReplyWindow(w);
}

TEST_F(WindowTest, GetwindowDoesNotAcceptTheSettersSecondCode) {
  UseHandler(WindowReply<grd_svr::CGSvrPk_AccWndGet>(grd_svr::ErrGridAccessWindowExists));
  Window w;
  EXPECT_EQ(getwindow(&w.y_count, &w.x_count, &w.y_ll, &w.x_ll, &w.cell_size, &w.block_only),
            -10014);
  EXPECT_TRUE(w.Untouched());
}

TEST_F(WindowTest, ReplyOfAnotherClassReturnsOneAndLeavesTheValues) {
  UseHandler([](PacketPtr) {
    PacketPtr other = boost::make_shared<grd_svr::CGSvrPk_AccWndMake>(grd_svr::atRequest);
    return WindowReply<grd_svr::CGSvrPk_AccWndMake>()(other);
  });
  Window w;
  EXPECT_EQ(getwindow(&w.y_count, &w.x_count, &w.y_ll, &w.x_ll, &w.cell_size, &w.block_only), 1);
  EXPECT_TRUE(w.Untouched());
}

TEST_F(WindowTest, WithoutSessionEveryWindowExportGivesMinus630) {
  Window w;
  EXPECT_EQ(setwindow("g", &w.y_count, &w.x_count, &w.y_ll, &w.x_ll, &w.cell_size, &w.block_only),
            -630);
  EXPECT_EQ(makewindow(&w.y_count, &w.x_count, &w.y_ll, &w.x_ll, &w.cell_size, &w.block_only),
            -630);
  EXPECT_EQ(getwindow(&w.y_count, &w.x_count, &w.y_ll, &w.x_ll, &w.cell_size, &w.block_only), -630);
  EXPECT_TRUE(w.Untouched());
}

}  // namespace
}  // namespace gridapi_test
