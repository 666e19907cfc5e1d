// The name rule on names alone, and on every packet class that carries a
// name or a path.
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <string>

#include "protocol/packets.h"
#include "server/grid_names.h"

namespace {

using grd_svr::NameRefusal;
using grd_svr::NameRole;
using grd_svr::PacketNameRefusal;

bool Passes(const std::string& name, NameRole role = NameRole::kExisting) {
  return NameRefusal(name, role).empty();
}

TEST(GridNames, NamesBelowTheBaseStay) {
  for (const char* name : {"dem", "sub/dem", "./dem", "sub/", "...", "..dem", "dem..", "a//b",
                           " dem "})
    EXPECT_TRUE(Passes(name)) << "'" << name << "'";
}

TEST(GridNames, AbsoluteNamesAreRefused) {
  for (const char* name : {"/etc/passwd", "/", "//server/share/dem", "/tmp/../tmp/dem"})
    for (NameRole role : {NameRole::kDirectory, NameRole::kExisting, NameRole::kNew})
      EXPECT_NE(NameRefusal(name, role).find("is absolute"), std::string::npos) << "'" << name << "'";
}

TEST(GridNames, DotDotIsRefusedWhereverItStands) {
  // "link/../dem" spells a grid beside the link, but the system finds it
  // beside the link's target.
  for (const char* name : {"..", "../dem", "sub/../../dem", "a/b/../../../c", "./..", "sub/../..",
                           "sub/../dem", "link/../dem", "a/b/../../c", "sub/.."})
    for (NameRole role : {NameRole::kDirectory, NameRole::kExisting, NameRole::kNew})
      EXPECT_NE(NameRefusal(name, role).find("goes through '..'"), std::string::npos)
          << "'" << name << "'";
}

TEST(GridNames, TheTrimmedSpellingTheCacheUsesIsCheckedToo) {
  // The layer cache trims white space before it joins a name to the base.
  EXPECT_FALSE(Passes(" /etc/dem"));
  EXPECT_FALSE(Passes("  ../dem"));
  EXPECT_FALSE(Passes("../dem  "));
  EXPECT_FALSE(Passes(" . "));
}

TEST(GridNames, AGridNameMustNameSomethingBelowTheDirectory) {
  for (const char* name : {"", ".", "./", " . "}) {
    EXPECT_FALSE(Passes(name, NameRole::kExisting)) << "'" << name << "'";
    EXPECT_FALSE(Passes(name, NameRole::kNew)) << "'" << name << "'";
    // A directory to list may be the base itself.
    EXPECT_TRUE(Passes(name, NameRole::kDirectory)) << "'" << name << "'";
  }
}

TEST(GridNames, ControlCharactersAreRefusedEverywhere) {
  // The system would cut "sub/../..\0/x/y" to "sub/../..", which leaves the
  // base, while the part after the NUL made the whole look harmless.
  EXPECT_FALSE(Passes(std::string("sub/../..\0/x/y", 14), NameRole::kDirectory));
  EXPECT_FALSE(Passes(std::string("dem\0", 4)));
  for (const char* name : {"dem\nforged line", "dem\r", "\tdem", "d\x7f", "d\x1b[2J"})
    for (NameRole role : {NameRole::kDirectory, NameRole::kExisting, NameRole::kNew})
      EXPECT_NE(NameRefusal(name, role).find("control character"), std::string::npos);
  // The reason itself can go to a log: the character is spelt out.
  EXPECT_EQ(NameRefusal("a\nb", NameRole::kExisting).find('\n'), std::string::npos);
  EXPECT_NE(NameRefusal("a\nb", NameRole::kExisting).find("a\\x0ab"), std::string::npos);
}

TEST(GridNames, ANewGridNameHoldsNoBlankWhileAnExistingOneMay) {
  for (const char* name : {"my grid", " mine", "mine ", "a b/c"}) {
    EXPECT_NE(NameRefusal(name, NameRole::kNew).find("holds a blank"), std::string::npos) << name;
    EXPECT_TRUE(Passes(name, NameRole::kExisting)) << name;
  }
  EXPECT_TRUE(Passes("my_grid", NameRole::kNew));
  EXPECT_TRUE(Passes("sub/dem", NameRole::kNew));
}

TEST(GridNames, NamesTheCacheWouldAnswerWithAFillerAreRefused) {
  for (const char* name : {"f_i_l_l_e_r__g_r_i_d_0", "f_i_l_l_e_r__g_r_i_d_17", " f_i_l_l_e_r__g_r_i_d_3 "})
    EXPECT_FALSE(Passes(name)) << "'" << name << "'";
  for (const char* name : {"f_i_l_l_e_r__g_r_i_d_", "f_i_l_l_e_r__g_r_i_d_1a", "sub/f_i_l_l_e_r__g_r_i_d_0"})
    EXPECT_TRUE(Passes(name)) << "'" << name << "'";
}

TEST(GridNames, PrintableSpellsOutControlCharactersOnly) {
  EXPECT_EQ(grd_svr::Printable("a b\n\x01z"), "a b\\x0a\\x01z");
  EXPECT_EQ(grd_svr::Printable("plain/name"), "plain/name");
}

template <class P>
boost::shared_ptr<P> Request() {
  return boost::make_shared<P>(grd_svr::atRequest);
}

TEST(GridNamePackets, EveryNameFieldIsChecked) {
  using namespace grd_svr;
  auto op = boost::make_shared<CGSvrPk_GridOp>(atRequest, GridLoad);
  op->m_GridName = "../x";
  EXPECT_FALSE(PacketNameRefusal(*op).empty());
  op->m_GridName = "x";
  EXPECT_TRUE(PacketNameRefusal(*op).empty());

  auto block = boost::make_shared<CGSvrPk_BlockOp>(atRequest, BlockLoad);
  block->m_GridName = "/x";
  EXPECT_FALSE(PacketNameRefusal(*block).empty());

  auto kill = Request<CGSvrPk_GridKill>();
  kill->m_GridName = ".";
  EXPECT_FALSE(PacketNameRefusal(*kill).empty());

  auto describe = Request<CGSvrPk_GridDescribe>();
  describe->m_GridName = "/x";
  EXPECT_FALSE(PacketNameRefusal(*describe).empty());

  auto create = Request<CGSvrPk_GridCreate>();
  create->m_GridName = "";
  EXPECT_FALSE(PacketNameRefusal(*create).empty());

  auto set = Request<CGSvrPk_AccWndSet>();
  set->m_GridName = "/x";
  EXPECT_FALSE(PacketNameRefusal(*set).empty());

  auto list = Request<CGSvrPk_GridList>();
  EXPECT_TRUE(PacketNameRefusal(*list).empty());  // no root: the base itself
  list->m_Root = "/";
  EXPECT_FALSE(PacketNameRefusal(*list).empty());

  EXPECT_TRUE(PacketNameRefusal(*Request<CGSvrPk_AccWndGet>()).empty());
}

TEST(GridNamePackets, OnlyAWholeGridWriteMakesANameOfAGridOp) {
  using namespace grd_svr;
  auto op = boost::make_shared<CGSvrPk_GridOp>(atRequest, GridLoad);
  op->m_GridName = "my grid";
  EXPECT_TRUE(PacketNameRefusal(*op).empty());
  auto write = boost::make_shared<CGSvrPk_GridOp>(atRequest, GridWrite);
  write->m_GridName = "my grid";
  EXPECT_FALSE(PacketNameRefusal(*write).empty());
  auto block = boost::make_shared<CGSvrPk_BlockOp>(atRequest, BlockWrite);
  block->m_GridName = "my grid";
  EXPECT_TRUE(PacketNameRefusal(*block).empty());
}

TEST(GridNamePackets, ACopyIsRefusedWhenEitherEndIs) {
  using namespace grd_svr;
  auto copy = Request<CGSvrPk_GridCopy>();
  copy->m_SourceGridName = "a";
  copy->m_DestinationGridName = "b";
  EXPECT_TRUE(PacketNameRefusal(*copy).empty());
  copy->m_DestinationGridName = ".";
  EXPECT_FALSE(PacketNameRefusal(*copy).empty());
  copy->m_DestinationGridName = "b c";
  EXPECT_FALSE(PacketNameRefusal(*copy).empty());
  copy->m_DestinationGridName = "b";
  copy->m_SourceGridName = "/a";
  EXPECT_FALSE(PacketNameRefusal(*copy).empty());
  copy->m_SourceGridName = "old grid";  // made by another tool: readable
  EXPECT_TRUE(PacketNameRefusal(*copy).empty());
}

TEST(GridNamePackets, PacketsWithoutNamesPass) {
  using namespace grd_svr;
  EXPECT_TRUE(PacketNameRefusal(*Request<CGSvrPk_PingServer>()).empty());
  EXPECT_TRUE(PacketNameRefusal(*Request<CGSvrPk_GridServerRetire>()).empty());
  EXPECT_TRUE(PacketNameRefusal(*Request<CGSvrPk_AccWndMake>()).empty());
  EXPECT_TRUE(PacketNameRefusal(CGSvrPacket(atRequest, ErrorReport, kPacketSignature)).empty());
}

}  // namespace
