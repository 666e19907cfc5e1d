#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <string>

#include "protocol/checked_packet_cast.h"
#include "protocol/packets.h"

namespace grd_svr {
namespace {

TEST(CheckedPacketCastTest, EmptyPointerLeavesPreviousErrorText) {
  std::string error = "earlier";
  boost::shared_ptr<CGSvrPacket> none;
  EXPECT_EQ(checked_packet_cast<CGSvrPk_GridOp>(none, atResponse, error), nullptr);
  EXPECT_EQ(error, "earlier");
}

TEST(CheckedPacketCastTest, WrongTypeNamesExpectedThenActualAndKeepsTheWordAtResponse) {
  std::string error;
  boost::shared_ptr<CGSvrPacket> request = boost::make_shared<CGSvrPk_GridOp>(atRequest, GridLoad);
  EXPECT_EQ(checked_packet_cast<CGSvrPk_GridOp>(request, atResponse, error), nullptr);
  EXPECT_EQ(error, "Malformed packet, expecting ActionType = atResponse [2] got [1]\n");

  boost::shared_ptr<CGSvrPacket> reply = boost::make_shared<CGSvrPk_GridOp>(atResponse, GridLoad);
  EXPECT_EQ(checked_packet_cast<CGSvrPk_GridOp>(reply, atRequest, error), nullptr);
  EXPECT_EQ(error, "Malformed packet, expecting ActionType = atResponse [1] got [2]\n");
}

TEST(CheckedPacketCastTest, TypeIsCheckedBeforeClass) {
  std::string error;
  boost::shared_ptr<CGSvrPacket> p = boost::make_shared<CGSvrPk_GridList>(atRequest);
  EXPECT_EQ(checked_packet_cast<CGSvrPk_GridOp>(p, atResponse, error), nullptr);
  EXPECT_EQ(error, "Malformed packet, expecting ActionType = atResponse [2] got [1]\n");
}

TEST(CheckedPacketCastTest, SiblingClassIsMismatchedWithTheActionId) {
  std::string error;
  boost::shared_ptr<CGSvrPacket> kill = boost::make_shared<CGSvrPk_GridKill>(atResponse);
  EXPECT_EQ(checked_packet_cast<CGSvrPk_GridOp>(kill, atResponse, error), nullptr);
  EXPECT_EQ(error, "Mismatched packet type for action id [4]\n");

  boost::shared_ptr<CGSvrPacket> plain =
      boost::make_shared<CGSvrPacket>(atResponse, ErrorReport, kPacketSignature);
  EXPECT_EQ(checked_packet_cast<CGSvrPk_PingServer>(plain, atResponse, error), nullptr);
  EXPECT_EQ(error, "Mismatched packet type for action id [8]\n");
}

TEST(CheckedPacketCastTest, MatchClearsErrorAndPointsIntoThePacket) {
  std::string error = "stale";
  boost::shared_ptr<CGSvrPacket> p = boost::make_shared<CGSvrPk_BlockOp>(atResponse, BlockLoad);
  CGSvrPk_BlockOp* block = checked_packet_cast<CGSvrPk_BlockOp>(p, atResponse, error);
  ASSERT_EQ(block, p.get());
  EXPECT_EQ(error, "");
}

TEST(CheckedPacketCastTest, DerivedClassPassesAsItsBase) {
  std::string error = "stale";
  boost::shared_ptr<CGSvrPacket> op = boost::make_shared<CGSvrPk_GridOp>(atResponse, GridLoad);
  EXPECT_NE(checked_packet_cast<CGSvrPk_GridDescribe>(op, atResponse, error), nullptr);
  EXPECT_EQ(error, "");
  EXPECT_NE(checked_packet_cast<CGSvrPacket>(op, atResponse, error), nullptr);
}

}  // namespace
}  // namespace grd_svr
