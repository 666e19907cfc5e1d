// The name rule as the in-process road meets it: names stay inside the
// workspace, and a new grid's name is one the catalogue can give back.
#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <boost/make_shared.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "handler_fixture.h"
#include "support/temp_dir.h"

namespace {

using Ints = std::vector<std::int32_t>;
using server_test::kMissingInt;
namespace fs = boost::filesystem;

class NameRuleTest : public server_test::HandlerTest {
 protected:
  void SetUp() override {
    HandlerTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_EQ(MakeWindowRequest(2, 3), grd_svr::ErrNone);
    WriteIntLayer("alpha", {1, 2, 3, 4, 5, 6});
  }
  // A directory beside the workspace, holding a grid of its own.
  std::string Sibling() {
    const std::string sibling = dir() + "_sibling";
    fs::create_directories(sibling + "/victim");
    return sibling;
  }
  std::int32_t Write(const std::string& name) {
    auto write = GridOp(grd_svr::GridWrite, name);
    write->m_RowCount = 2;
    write->m_ColCount = 3;
    write->m_CellType = 1;
    write->m_GrdDataINT = {9, 9, 9, 9, 9, 9};
    return Send(write);
  }
  std::int32_t Create(const std::string& name) {
    auto create = boost::make_shared<grd_svr::CGSvrPk_GridCreate>(grd_svr::atRequest);
    create->m_GridName = name;
    create->m_CellType = 1;
    return Send(create);
  }
  std::int32_t Copy(const std::string& from, const std::string& to) {
    auto copy = boost::make_shared<grd_svr::CGSvrPk_GridCopy>(grd_svr::atRequest);
    copy->m_SourceGridName = from;
    copy->m_DestinationGridName = to;
    return Send(copy);
  }
  std::int32_t Kill(const std::string& name) {
    auto kill = boost::make_shared<grd_svr::CGSvrPk_GridKill>(grd_svr::atRequest);
    kill->m_GridName = name;
    return Send(kill);
  }
  // Entries of the workspace's own directory besides the grid alpha.
  std::vector<std::string> Others() {
    std::vector<std::string> names;
    for (fs::directory_iterator it{fs::path(dir())}, end; it != end; ++it)
      if (it->path().filename() != "alpha") names.push_back(it->path().filename().string());
    return names;
  }
};

TEST_F(NameRuleTest, NothingOutsideTheWorkspaceIsWrittenOrDeleted) {
  const std::string sibling = Sibling();
  // Beside the workspace, under a name of this test's own.
  const std::string escape = fs::path(dir()).filename().string() + "_escape";
  const std::string beside = fs::path(dir()).parent_path().string() + "/" + escape;
  ASSERT_FALSE(fs::exists(beside));
  EXPECT_EQ(Write("../" + escape), grd_svr::ErrPackMalformed);
  EXPECT_EQ(Write(sibling + "/made"), grd_svr::ErrPackMalformed);
  EXPECT_FALSE(fs::exists(sibling + "/made"));
  EXPECT_EQ(Create("../" + escape), grd_svr::ErrPackMalformed);
  EXPECT_EQ(Copy("alpha", "../" + escape), grd_svr::ErrPackMalformed);
  EXPECT_FALSE(fs::exists(beside));

  fs::ofstream(sibling + "/victim/layer.tif") << "x";
  EXPECT_EQ(Kill("../" + fs::path(sibling).filename().string() + "/victim"),
            grd_svr::ErrPackMalformed);
  EXPECT_EQ(Kill(sibling + "/victim"), grd_svr::ErrPackMalformed);
  EXPECT_TRUE(fs::exists(sibling + "/victim/layer.tif"));
  fs::remove_all(sibling);
  fs::remove_all(beside);
}

TEST_F(NameRuleTest, NothingOutsideTheWorkspaceIsRead) {
  auto load = GridOp(grd_svr::GridLoad, Path("alpha"));  // absolute, though inside
  EXPECT_EQ(Send(load), grd_svr::ErrPackMalformed);
  EXPECT_TRUE(load->m_GrdDataINT.empty());
  auto list = boost::make_shared<grd_svr::CGSvrPk_GridList>(grd_svr::atRequest);
  list->m_Root = "..";
  EXPECT_EQ(Send(list), grd_svr::ErrPackMalformed);
  EXPECT_TRUE(list->m_GridNames.empty());
  auto own = boost::make_shared<grd_svr::CGSvrPk_GridList>(grd_svr::atRequest);
  EXPECT_EQ(Send(own), grd_svr::ErrNone);
  EXPECT_EQ(own->m_GridNames, std::vector<std::string>{"alpha"});
}

TEST_F(NameRuleTest, TheWorkspaceItselfIsNoGrid) {
  for (const std::string& name : {std::string("."), std::string(""), std::string("sub/..")}) {
    EXPECT_EQ(Write(name), grd_svr::ErrPackMalformed) << "'" << name << "'";
    EXPECT_EQ(Create(name), grd_svr::ErrPackMalformed) << "'" << name << "'";
    EXPECT_EQ(Copy("alpha", name), grd_svr::ErrPackMalformed) << "'" << name << "'";
    EXPECT_EQ(Kill(name), grd_svr::ErrPackMalformed) << "'" << name << "'";
  }
  EXPECT_TRUE(Others().empty()) << "no layer file in the workspace root";
  EXPECT_TRUE(LayerExists("alpha"));
}

TEST_F(NameRuleTest, ANewGridNameTheCatalogueCouldNotGiveBackIsRefused) {
  for (const std::string& name : {std::string(" mine"), std::string("mine "),
                                  std::string("my grid"), std::string("line\nfeed")}) {
    EXPECT_EQ(Create(name), grd_svr::ErrPackMalformed);
    EXPECT_EQ(Write(name), grd_svr::ErrPackMalformed);
    EXPECT_EQ(Copy("alpha", name), grd_svr::ErrPackMalformed);
  }
  EXPECT_TRUE(Others().empty());
  EXPECT_EQ(Create("mine"), grd_svr::ErrNone);
  EXPECT_EQ(Copy("alpha", "sub_copy"), grd_svr::ErrNone);
}

TEST_F(NameRuleTest, AnExistingGridWithABlankIsReadAsBefore) {
  WriteIntLayer("old grid", {1, 1, 2, 2, 3, 3});
  auto load = GridOp(grd_svr::GridLoad, "old grid");
  ASSERT_EQ(Send(load), grd_svr::ErrNone);
  EXPECT_EQ(load->m_GrdDataINT, (Ints{1, 1, 2, 2, 3, 3}));
  auto block = BlockOp(grd_svr::BlockWrite, "old grid", 1, 1, 1, 1, 1);
  block->m_BlkDataINT = {7};
  EXPECT_EQ(Send(block), grd_svr::ErrNone);
  EXPECT_EQ(Copy("old grid", "new_grid"), grd_svr::ErrNone);
  EXPECT_EQ(Kill("old grid"), grd_svr::ErrNone);
  EXPECT_FALSE(LayerExists("old grid"));
}

TEST_F(NameRuleTest, ARefusedNameCannotForgeALogLine) {
  EXPECT_EQ(Write("x\n2024-01-01 forged"), grd_svr::ErrPackMalformed);
  bool refusal = false;
  for (const std::string& text : log_.texts()) {
    EXPECT_EQ(text.find("\n2024-01-01"), std::string::npos) << text;
    if (text.find("Refused a request from") != std::string::npos &&
        text.find("x\\x0a2024-01-01 forged") != std::string::npos)
      refusal = true;
  }
  EXPECT_TRUE(refusal);
}

}  // namespace
