// The confinement rule on names alone, and on every packet class that
// carries a name or a path.
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <string>

#include "protocol/packets.h"
#include "root_guard.h"

namespace {

using grid_server::NameStaysInRoot;
using grid_server::PacketStaysInRoot;

TEST(RootGuardNames, NamesBelowTheRootStay) {
  for (const char* name : {"dem", "sub/dem", "sub/../dem", "./dem", "a/b/../../c", "sub/", "", ".",
                           "sub/..", "...", "..dem", "dem..", "a//b"})
    EXPECT_TRUE(NameStaysInRoot(name)) << "'" << name << "'";
}

TEST(RootGuardNames, AbsoluteNamesAreRefused) {
  for (const char* name : {"/etc/passwd", "/", "//server/share/dem", "/tmp/../tmp/dem"})
    EXPECT_FALSE(NameStaysInRoot(name)) << "'" << name << "'";
}

TEST(RootGuardNames, ClimbingAboveTheRootIsRefusedWhereverItHappens) {
  for (const char* name : {"..", "../dem", "sub/../../dem", "a/b/../../../c", "./..", "sub/../.."})
    EXPECT_FALSE(NameStaysInRoot(name)) << "'" << name << "'";
}

TEST(RootGuardNames, TheTrimmedSpellingTheCacheUsesIsCheckedToo) {
  // The layer cache trims white space before it joins a name to the root.
  EXPECT_FALSE(NameStaysInRoot(" /etc/dem"));
  EXPECT_FALSE(NameStaysInRoot("\t../dem"));
  EXPECT_FALSE(NameStaysInRoot("../dem \n"));
  EXPECT_TRUE(NameStaysInRoot(" dem "));
}

TEST(RootGuardNames, ANulCharacterIsRefused) {
  // The system would cut "sub/../..\0x" to "sub/../..", which leaves the root,
  // while the part after the NUL made the whole look harmless.
  EXPECT_FALSE(NameStaysInRoot(std::string("sub/../..\0/x/y", 14)));
  EXPECT_FALSE(NameStaysInRoot(std::string("dem\0", 4)));
}

TEST(RootGuardNames, NamesTheCacheWouldAnswerWithAFillerAreRefused) {
  for (const char* name : {"f_i_l_l_e_r__g_r_i_d_0", "f_i_l_l_e_r__g_r_i_d_17", " f_i_l_l_e_r__g_r_i_d_3\t"})
    EXPECT_FALSE(NameStaysInRoot(name)) << "'" << name << "'";
  for (const char* name : {"f_i_l_l_e_r__g_r_i_d_", "f_i_l_l_e_r__g_r_i_d_1a", "sub/f_i_l_l_e_r__g_r_i_d_0"})
    EXPECT_TRUE(NameStaysInRoot(name)) << "'" << name << "'";
}

template <class P>
boost::shared_ptr<P> Request() {
  return boost::make_shared<P>(grd_svr::atRequest);
}

TEST(RootGuardPackets, EveryNameFieldIsChecked) {
  using namespace grd_svr;
  auto op = boost::make_shared<CGSvrPk_GridOp>(atRequest, GridLoad);
  op->m_GridName = "../x";
  EXPECT_FALSE(PacketStaysInRoot(*op));
  op->m_GridName = "x";
  EXPECT_TRUE(PacketStaysInRoot(*op));

  auto block = boost::make_shared<CGSvrPk_BlockOp>(atRequest, BlockLoad);
  block->m_GridName = "/x";
  EXPECT_FALSE(PacketStaysInRoot(*block));

  auto kill = Request<CGSvrPk_GridKill>();
  kill->m_GridName = "../../x";
  EXPECT_FALSE(PacketStaysInRoot(*kill));

  auto describe = Request<CGSvrPk_GridDescribe>();
  describe->m_GridName = "/x";
  EXPECT_FALSE(PacketStaysInRoot(*describe));

  auto create = Request<CGSvrPk_GridCreate>();
  create->m_GridName = "../x";
  EXPECT_FALSE(PacketStaysInRoot(*create));

  auto set = Request<CGSvrPk_AccWndSet>();
  set->m_GridName = "/x";
  EXPECT_FALSE(PacketStaysInRoot(*set));

  auto list = Request<CGSvrPk_GridList>();
  EXPECT_TRUE(PacketStaysInRoot(*list));  // no root: the served one
  list->m_Root = "/";
  EXPECT_FALSE(PacketStaysInRoot(*list));
}

TEST(RootGuardPackets, ACopyIsRefusedWhenEitherEndLeaves) {
  using namespace grd_svr;
  auto copy = Request<CGSvrPk_GridCopy>();
  copy->m_SourceGridName = "a";
  copy->m_DestinationGridName = "b";
  EXPECT_TRUE(PacketStaysInRoot(*copy));
  copy->m_DestinationGridName = "../b";
  EXPECT_FALSE(PacketStaysInRoot(*copy));
  copy->m_DestinationGridName = "b";
  copy->m_SourceGridName = "/a";
  EXPECT_FALSE(PacketStaysInRoot(*copy));
}

TEST(RootGuardPackets, PacketsWithoutNamesPass) {
  using namespace grd_svr;
  EXPECT_TRUE(PacketStaysInRoot(*Request<CGSvrPk_PingServer>()));
  EXPECT_TRUE(PacketStaysInRoot(*Request<CGSvrPk_GridServerRetire>()));
  EXPECT_TRUE(PacketStaysInRoot(*Request<CGSvrPk_AccWndMake>()));
  EXPECT_TRUE(PacketStaysInRoot(CGSvrPacket(atRequest, ErrorReport, kPacketSignature)));
}

}  // namespace
