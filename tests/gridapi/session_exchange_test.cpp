#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <stdexcept>

#include "gridapi_fixture.h"
#include "protocol/packets.h"
#include "session/session_exchange.h"
#include "session/session_record.h"

namespace gridapi_test {
namespace {

using grd_svr::atRequest;
using mirl::session::session_exchange;

class ExchangeTest : public SessionTest {
 protected:
  PacketPtr Ping() { return boost::make_shared<grd_svr::CGSvrPk_PingServer>(atRequest); }
};

TEST_F(ExchangeTest, WithoutSessionGivesMinus630AndKeepsThePacket) {
  PacketPtr packet = Ping();
  grd_svr::CGSvrPacket* before = packet.get();
  EXPECT_EQ(session_exchange(packet), -630);
  EXPECT_EQ(packet.get(), before);
}

TEST_F(ExchangeTest, AfterCleanUpTheSessionIsGone) {
  UseHandler();
  mirl::session::CloseSession();
  PacketPtr packet = Ping();
  EXPECT_EQ(session_exchange(packet), -630);
  EXPECT_NE(packet, nullptr);
}

TEST_F(ExchangeTest, InProcessRoadHandsOverThePacketObjectItself) {
  FakeHandler& handler = UseHandler();
  PacketPtr packet = Ping();
  grd_svr::CGSvrPacket* sent = packet.get();
  EXPECT_EQ(session_exchange(packet), 1);
  ASSERT_EQ(handler.requests.size(), 1u);
  EXPECT_EQ(handler.requests[0].get(), sent);
  EXPECT_EQ(packet.get(), sent);
}

TEST_F(ExchangeTest, ReturnsTheReplysErrorCode) {
  UseHandler([](PacketPtr p) { return Respond(p, grd_svr::ErrGridCannotFind); });
  PacketPtr packet = Ping();
  EXPECT_EQ(session_exchange(packet), -10007);
}

TEST_F(ExchangeTest, ReplyOfAnotherClassStillReturnsItsCode) {
  UseHandler([](PacketPtr) {
    PacketPtr other = boost::make_shared<grd_svr::CGSvrPk_GridKill>(grd_svr::atResponse);
    return other;
  });
  PacketPtr packet = Ping();
  EXPECT_EQ(session_exchange(packet), 1);
  EXPECT_NE(dynamic_cast<grd_svr::CGSvrPk_GridKill*>(packet.get()), nullptr);
}

TEST_F(ExchangeTest, NoReplyGivesMinus631AndAnEmptyPointer) {
  UseHandler([](PacketPtr) { return PacketPtr(); });
  PacketPtr packet = Ping();
  EXPECT_EQ(session_exchange(packet), -631);
  EXPECT_EQ(packet, nullptr);
}

TEST_F(ExchangeTest, ExceptionOnTheRoadGivesMinus620AndKeepsThePacket) {
  UseHandler([](PacketPtr) -> PacketPtr { throw std::runtime_error("disk gone"); });
  PacketPtr packet = Ping();
  grd_svr::CGSvrPacket* before = packet.get();
  EXPECT_EQ(session_exchange(packet), -620);
  EXPECT_EQ(packet.get(), before);
}

TEST_F(ExchangeTest, RemoteRoadReplacesThePacketByTheClientsReply) {
  PacketPtr answer = boost::make_shared<grd_svr::CGSvrPk_PingServer>(grd_svr::atResponse);
  answer->SetErrorCode(grd_svr::ErrPackVersion);
  FakeClient& client = UseClient([answer](PacketPtr) { return answer; });
  PacketPtr packet = Ping();
  PacketPtr sent = packet;
  EXPECT_EQ(session_exchange(packet), -10002);
  EXPECT_EQ(packet, answer);
  ASSERT_EQ(client.requests.size(), 1u);
  EXPECT_EQ(client.requests[0], sent);
}

TEST_F(ExchangeTest, RemoteRoadWithoutReplyGivesMinus631) {
  UseClient([](PacketPtr) { return PacketPtr(); });
  PacketPtr packet = Ping();
  EXPECT_EQ(session_exchange(packet), -631);
  EXPECT_EQ(packet, nullptr);
}

TEST_F(ExchangeTest, RemoteRoadThatThrowsGivesMinus620) {
  UseClient([](PacketPtr) -> PacketPtr { throw std::runtime_error("host not found"); });
  PacketPtr packet = Ping();
  EXPECT_EQ(session_exchange(packet), -620);
  EXPECT_NE(packet, nullptr);
}

}  // namespace
}  // namespace gridapi_test
