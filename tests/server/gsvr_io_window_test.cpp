#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "handler_fixture.h"
#include "server/layer_cache.h"

namespace {

using grd_svr::CacheState;
using grd_svr::GioState;

class WindowRequestTest : public server_test::HandlerTest {
 protected:
  boost::shared_ptr<grd_svr::CGSvrPk_AccWndSet> SetFrom(const std::string& name) {
    auto set = boost::make_shared<grd_svr::CGSvrPk_AccWndSet>(grd_svr::atRequest);
    set->m_GridName = name;
    return set;
  }
};

TEST_F(WindowRequestTest, AccWndMakeAnswersTheWindowSet) {
  auto make = boost::make_shared<grd_svr::CGSvrPk_AccWndMake>(grd_svr::atRequest);
  make->m_RowCount = 100;
  make->m_ColCount = 50;
  make->m_XLowerLeft = 1000.0;
  make->m_YLowerLeft = 2000.0;
  make->m_CellSize = 10.0;
  ASSERT_EQ(Send(make), grd_svr::ErrNone);
  EXPECT_EQ(make->m_RowCount, 100);
  EXPECT_EQ(make->m_ColCount, 50);
  EXPECT_EQ(make->m_XLowerLeft, 1000.0);
  EXPECT_EQ(make->m_YLowerLeft, 2000.0);
  EXPECT_FALSE(make->m_BlockOnly);
  EXPECT_EQ(GioState().window.m_Box[2], 1500.0);
  EXPECT_EQ(GioState().window.m_Box[3], 3000.0);
  EXPECT_EQ(GioState().workspace, dir());
}

TEST_F(WindowRequestTest, AccWndMakeInHollowModeReportsBlockOnly) {
  mirl::platform::SetAvailablePhysicalMemoryOverride(server_test::MB(20));
  auto make = boost::make_shared<grd_svr::CGSvrPk_AccWndMake>(grd_svr::atRequest);
  make->m_RowCount = 1000;
  make->m_ColCount = 1000;
  make->m_CellSize = 1.0;
  make->m_XLowerLeft = 0.0;
  make->m_YLowerLeft = 0.0;
  ASSERT_EQ(Send(make), grd_svr::ErrNone);
  EXPECT_TRUE(make->m_BlockOnly);
}

TEST_F(WindowRequestTest, ARefusedAccWndMakeLeavesNoWindow) {
  ASSERT_EQ(MakeWindowRequest(3, 4), grd_svr::ErrNone);
  EXPECT_EQ(MakeWindowRequest(3, 4, 0.0, 0.0, -1.0), grd_svr::ErrGridNoAccessWindow);
  auto get = boost::make_shared<grd_svr::CGSvrPk_AccWndGet>(grd_svr::atRequest);
  EXPECT_EQ(Send(get), grd_svr::ErrGridNoAccessWindow);
  EXPECT_EQ(get->m_RowCount, -1);
}

TEST_F(WindowRequestTest, AccWndSetTakesTheWindowOfAGrid) {
  ASSERT_EQ(MakeWindowRequest(2, 5, 30.0, 40.0, 2.0), grd_svr::ErrNone);
  WriteIntLayer("shape", std::vector<std::int32_t>(10, 1));
  ASSERT_EQ(MakeWindowRequest(1, 1), grd_svr::ErrNone);
  auto set = SetFrom("shape");
  ASSERT_EQ(Send(set), grd_svr::ErrNone);
  EXPECT_EQ(set->m_GridName, Path("shape"));
  EXPECT_EQ(set->m_RowCount, 2);
  EXPECT_EQ(set->m_ColCount, 5);
  EXPECT_EQ(set->m_XLowerLeft, 30.0);
  EXPECT_EQ(set->m_YLowerLeft, 40.0);
  EXPECT_EQ(set->m_CellSize, 2.0);
  EXPECT_FALSE(set->m_BlockOnly);
}

TEST_F(WindowRequestTest, AccWndSetOfAMissingGridIsLogged) {
  ASSERT_EQ(MakeWindowRequest(3, 4), grd_svr::ErrNone);
  auto set = SetFrom("absent");
  EXPECT_EQ(Send(set), grd_svr::ErrGridNoAccessWindow);
  EXPECT_EQ(set->m_GridName, "absent");
  EXPECT_TRUE(log_.Has("Access window setup error: cannot find grid " + Path("absent")));
  EXPECT_FALSE(GioState().window.IsValid());
}

TEST_F(WindowRequestTest, AccWndGetAnswersTheWindowWithAnEmptyName) {
  auto none = boost::make_shared<grd_svr::CGSvrPk_AccWndGet>(grd_svr::atRequest);
  EXPECT_EQ(Send(none), grd_svr::ErrGridNoAccessWindow);
  ASSERT_EQ(MakeWindowRequest(3, 4, 7.0, 8.0, 0.5), grd_svr::ErrNone);
  auto get = boost::make_shared<grd_svr::CGSvrPk_AccWndGet>(grd_svr::atRequest);
  get->m_GridName = "ignored";
  ASSERT_EQ(Send(get), grd_svr::ErrNone);
  EXPECT_EQ(get->m_GridName, "");
  EXPECT_EQ(get->m_RowCount, 3);
  EXPECT_EQ(get->m_ColCount, 4);
  EXPECT_EQ(get->m_XLowerLeft, 7.0);
  EXPECT_EQ(get->m_YLowerLeft, 8.0);
  EXPECT_EQ(get->m_CellSize, 0.5);
}

TEST_F(WindowRequestTest, InProcessWindowRequestsAlwaysInstallANewWindow) {
  ASSERT_EQ(MakeWindowRequest(3, 4), grd_svr::ErrNone);
  ASSERT_EQ(MakeWindowRequest(5, 6), grd_svr::ErrNone);
  EXPECT_EQ(GioState().window.m_Rows, 5);
  EXPECT_EQ(GioState().window.m_Columns, 6);
}

TEST_F(WindowRequestTest, ARemoteServerKeepsItsFirstWindow) {
  StartHandler(1);
  ASSERT_EQ(MakeWindowRequest(3, 4), grd_svr::ErrNone);
  WriteIntLayer("grid", std::vector<std::int32_t>(12, 1));
  const std::size_t cached = CacheState().layers.size();
  auto make = boost::make_shared<grd_svr::CGSvrPk_AccWndMake>(grd_svr::atRequest);
  make->m_RowCount = 9;
  make->m_ColCount = 9;
  make->m_CellSize = 1.0;
  EXPECT_EQ(Send(make), grd_svr::ErrNone);
  EXPECT_EQ(make->m_RowCount, 3);
  EXPECT_EQ(make->m_ColCount, 4);
  auto set = SetFrom("grid");
  EXPECT_EQ(Send(set), grd_svr::ErrGridAccessWindowExists);
  EXPECT_EQ(set->m_GridName, Path("grid"));
  EXPECT_EQ(set->m_RowCount, 3);
  EXPECT_EQ(CacheState().layers.size(), cached);
}

}  // namespace
