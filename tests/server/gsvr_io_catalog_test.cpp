#include <gtest/gtest.h>

#include <algorithm>
#include <boost/filesystem.hpp>
#include <boost/make_shared.hpp>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "handler_fixture.h"
#include "server/layer_cache.h"
#include "support/temp_dir.h"

namespace {

using server_test::kMissingInt;
using Ints = std::vector<std::int32_t>;
namespace fs = boost::filesystem;

class CatalogRequestTest : public server_test::HandlerTest {
 protected:
  void SetUp() override {
    HandlerTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_EQ(MakeWindowRequest(2, 3, 10.0, 20.0, 5.0), grd_svr::ErrNone);
    WriteIntLayer("alpha", {1, 2, 3, 4, 5, kMissingInt});
    WriteFloatLayer("beta", {0.5f, 1.5f, 2.5f, 3.5f, 4.5f, 5.5f});
  }
  boost::shared_ptr<grd_svr::CGSvrPk_GridCopy> Copy(const std::string& from,
                                                    const std::string& to) {
    auto copy = boost::make_shared<grd_svr::CGSvrPk_GridCopy>(grd_svr::atRequest);
    copy->m_SourceGridName = from;
    copy->m_DestinationGridName = to;
    return copy;
  }
  boost::shared_ptr<grd_svr::CGSvrPk_GridList> List(const std::string& root) {
    auto list = boost::make_shared<grd_svr::CGSvrPk_GridList>(grd_svr::atRequest);
    list->m_Root = root;
    return list;
  }
  boost::shared_ptr<grd_svr::CGSvrPk_GridKill> Kill(const std::string& name) {
    auto kill = boost::make_shared<grd_svr::CGSvrPk_GridKill>(grd_svr::atRequest);
    kill->m_GridName = name;
    return kill;
  }
};

TEST_F(CatalogRequestTest, GridListNamesGridDirectoriesOnly) {
  fs::create_directory(Path("empty_dir"));
  std::ofstream(Path("plain.txt")) << "not a grid";
  auto list = List("");
  ASSERT_EQ(Send(list), grd_svr::ErrNone);
  std::vector<std::string> names = list->m_GridNames;
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"alpha", "beta"}));
}

TEST_F(CatalogRequestTest, GridListOfAGivenRootAndOfNoDirectory) {
  fs::create_directories(Path("other"));
  auto empty = List("other");
  empty->m_GridNames = {"stale"};
  ASSERT_EQ(Send(empty), grd_svr::ErrNone);
  EXPECT_TRUE(empty->m_GridNames.empty());
  EXPECT_EQ(Send(List("other/nowhere")), grd_svr::ErrGridCannotFind);
  EXPECT_EQ(Send(List("alpha/layer.tif")), grd_svr::ErrGridCannotFind);
}

TEST_F(CatalogRequestTest, GridCopyOntoAnExistingGridChangesNeither) {
  auto copy = Copy("alpha", "beta");
  EXPECT_EQ(Send(copy), grd_svr::ErrGridAlreadyExists);
  EXPECT_EQ(copy->m_SourceGridName, Path("alpha"));
  EXPECT_EQ(copy->m_DestinationGridName, Path("beta"));
  EXPECT_EQ(ReadIntLayer("alpha"), (Ints{1, 2, 3, 4, 5, kMissingInt}));
  EXPECT_EQ(ReadFloatLayer("beta"), (std::vector<float>{0.5f, 1.5f, 2.5f, 3.5f, 4.5f, 5.5f}));
}

TEST_F(CatalogRequestTest, GridCopyMakesAnEqualLayer) {
  fs::create_directory(Path("gamma"));
  ASSERT_EQ(Send(Copy("alpha", "gamma")), grd_svr::ErrNone);
  EXPECT_EQ(ReadIntLayer("gamma"), (Ints{1, 2, 3, 4, 5, kMissingInt}));
  EXPECT_EQ(Send(Copy("absent", "delta")), grd_svr::ErrGridCannotFind);
  EXPECT_FALSE(LayerExists("delta"));
}

TEST_F(CatalogRequestTest, GridKillDeletesTheLayerAndItsCachedCopy) {
  ASSERT_EQ(Send(GridOp(grd_svr::GridLoad, " alpha ")), grd_svr::ErrNone);
  auto kill = Kill("alpha");
  ASSERT_EQ(Send(kill), grd_svr::ErrNone);
  EXPECT_EQ(kill->m_GridName, Path("alpha"));
  EXPECT_FALSE(LayerExists("alpha"));
  EXPECT_EQ(grd_svr::CacheState().layers.count("alpha"), 0u);
  EXPECT_EQ(Send(GridOp(grd_svr::GridLoad, "alpha")), grd_svr::ErrGridCannotFind);
}

TEST_F(CatalogRequestTest, GridKillByAnotherSpellingDropsTheCopyCachedByShortName) {
  ASSERT_EQ(Send(GridOp(grd_svr::GridLoad, "alpha")), grd_svr::ErrNone);
  ASSERT_EQ(Send(Kill("./alpha")), grd_svr::ErrNone);
  EXPECT_EQ(Send(GridOp(grd_svr::GridLoad, "alpha")), grd_svr::ErrGridCannotFind);
}

TEST_F(CatalogRequestTest, GridKillOfANameWithBlanksNeverDeletesTheGridWithoutThem) {
  EXPECT_EQ(Send(Kill(" alpha")), grd_svr::ErrGridCannotFind);
  EXPECT_TRUE(LayerExists("alpha"));
  // A grid whose directory name does hold the blank is the one deleted.
  WriteIntLayer(" alpha", {7, 7, 7, 7, 7, 7});
  EXPECT_EQ(Send(Kill(" alpha")), grd_svr::ErrNone);
  EXPECT_FALSE(LayerExists(" alpha"));
  EXPECT_EQ(ReadIntLayer("alpha"), (Ints{1, 2, 3, 4, 5, kMissingInt}));
}

TEST_F(CatalogRequestTest, GridKillOfAMissingGrid) {
  auto kill = Kill("absent");
  EXPECT_EQ(Send(kill), grd_svr::ErrGridCannotFind);
  EXPECT_EQ(kill->m_GridName, "absent");
}

TEST_F(CatalogRequestTest, GridDescribeReportsGeometryTypeAndStatistics) {
  auto describe = boost::make_shared<grd_svr::CGSvrPk_GridDescribe>(grd_svr::atRequest);
  describe->m_GridName = "alpha";
  ASSERT_EQ(Send(describe), grd_svr::ErrNone);
  EXPECT_EQ(describe->m_GridName, Path("alpha"));
  EXPECT_EQ(describe->m_RowCount, 2);
  EXPECT_EQ(describe->m_ColCount, 3);
  EXPECT_EQ(describe->m_XLowerLeft, 10.0);
  EXPECT_EQ(describe->m_YLowerLeft, 20.0);
  EXPECT_EQ(describe->m_CellSize, 5.0);
  EXPECT_EQ(describe->m_CellType, 1);
  // The valid cells 1..5.
  EXPECT_DOUBLE_EQ(describe->m_StatMin, 1.0);
  EXPECT_DOUBLE_EQ(describe->m_StatMax, 5.0);
  EXPECT_DOUBLE_EQ(describe->m_StatMean, 3.0);
  EXPECT_NEAR(describe->m_StatStdDev, 1.41421356, 1e-6);

  auto missing = boost::make_shared<grd_svr::CGSvrPk_GridDescribe>(grd_svr::atRequest);
  missing->m_GridName = "absent";
  EXPECT_EQ(Send(missing), grd_svr::ErrGridCannotFind);
  EXPECT_EQ(missing->m_RowCount, -1);
}

TEST_F(CatalogRequestTest, GridCreateMakesAnEmptyLayerOfTheWindow) {
  auto create = boost::make_shared<grd_svr::CGSvrPk_GridCreate>(grd_svr::atRequest);
  create->m_GridName = "made";
  create->m_CellType = 2;
  ASSERT_EQ(Send(create), grd_svr::ErrNone);
  EXPECT_EQ(create->m_GridName, Path("made"));
  EXPECT_EQ(ReadFloatLayer("made"), std::vector<float>(6, MissingFloat()));
  EXPECT_EQ(grd_svr::CacheState().layers.count("made"), 0u);

  auto again = boost::make_shared<grd_svr::CGSvrPk_GridCreate>(grd_svr::atRequest);
  again->m_GridName = "made";
  again->m_CellType = 1;
  EXPECT_EQ(Send(again), grd_svr::ErrGridAlreadyExists);

  auto bad_type = boost::make_shared<grd_svr::CGSvrPk_GridCreate>(grd_svr::atRequest);
  bad_type->m_GridName = "odd";
  EXPECT_EQ(Send(bad_type), grd_svr::ErrGridCannotCreate);
  EXPECT_FALSE(LayerExists("odd"));
}

TEST_F(CatalogRequestTest, GridCreateNeedsAWindow) {
  grd_svr::GioState().window.Clear();
  auto create = boost::make_shared<grd_svr::CGSvrPk_GridCreate>(grd_svr::atRequest);
  create->m_GridName = "made";
  create->m_CellType = 1;
  EXPECT_EQ(Send(create), grd_svr::ErrGridNoAccessWindow);
  EXPECT_FALSE(fs::exists(Path("made")));
}

}  // namespace
