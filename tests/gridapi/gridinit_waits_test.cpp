// gridinit_waits: the waits a host asks for reach the session's TCP client,
// bad ranges change nothing, and an interrupted wait gives -632: gridinit
// closes the session, a grid export keeps it open.
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include "exports/grid_api.h"
#include "gridapi_fixture.h"
#include "protocol/framing.h"
#include "protocol/packets.h"
#include "session/session_exchange.h"
#include "session/session_record.h"
#include "transport/exchange_interrupted.h"
#include "transport/host_waits.h"
#include "transport/tcp_client.h"
#include "transport/test_server.h"

namespace gridapi_test {
namespace {

using mirl::session::Session;

int Interrupted() { return 1; }
int NeverInterrupted() { return 0; }

class WaitsTest : public SessionTest {
 protected:
  ~WaitsTest() override { grd_svr::ResetHostWaits(); }

  static const grd_svr::CGSvrClient* SessionClient() {
    return dynamic_cast<const grd_svr::CGSvrClient*>(Session().client.get());
  }
};

// A server answering every request with its response.
mirl_test::TestServer::Behaviour Answering() {
  return [](mirl_test::tcp::socket& socket) {
    PacketPtr request = mirl_test::DecodeRequest(mirl_test::ReadFrame(socket));
    if (request) mirl_test::Send(socket, grd_svr::EncodeFrame(Respond(request)));
  };
}

TEST_F(WaitsTest, OutOfRangeValuesGiveTheirCodesAndChangeNothing) {
  OpenLog();
  EXPECT_EQ(gridinit_waits(0, 0, 1, nullptr), -633);
  EXPECT_EQ(gridinit_waits(10001, 0, 1, nullptr), -633);
  EXPECT_EQ(gridinit_waits(1, -1, 1, nullptr), -634);
  EXPECT_EQ(gridinit_waits(1, 86400001, 1, nullptr), -634);
  EXPECT_EQ(gridinit_waits(1, 0, 0, nullptr), -635);
  EXPECT_EQ(gridinit_waits(1, 0, 86400001, nullptr), -635);
  const grd_svr::TransportTiming designed;
  EXPECT_EQ(grd_svr::HostTiming().max_attempts, designed.max_attempts);
  EXPECT_EQ(grd_svr::HostTiming().long_pause_ms, designed.long_pause_ms);
  EXPECT_EQ(grd_svr::HostTiming().connect_timeout_ms, designed.connect_timeout_ms);
  EXPECT_EQ(LogText(),
            "Entering gridinit_waits\ngridinit_waits returned with code: -633\n"
            "Entering gridinit_waits\ngridinit_waits returned with code: -633\n"
            "Entering gridinit_waits\ngridinit_waits returned with code: -634\n"
            "Entering gridinit_waits\ngridinit_waits returned with code: -634\n"
            "Entering gridinit_waits\ngridinit_waits returned with code: -635\n"
            "Entering gridinit_waits\ngridinit_waits returned with code: -635\n");
}

TEST_F(WaitsTest, SessionClientWaitsAsAskedBeforeAndAfterGridinit) {
  mirl_test::TestServer server(Answering());
  server.Listen();
  ASSERT_EQ(gridinit_waits(1, 0, 1500, &NeverInterrupted), 1);
  ASSERT_EQ(gridinit(1, "127.0.0.1", server.port(), 0), 1);
  ASSERT_NE(SessionClient(), nullptr);
  EXPECT_EQ(SessionClient()->Timing().max_attempts, 1);
  EXPECT_EQ(SessionClient()->Timing().connect_timeout_ms, 1500);
  EXPECT_EQ(SessionClient()->Timing().interrupted, &NeverInterrupted);

  // Asked again, the open session's client takes it from its next exchange.
  ASSERT_EQ(gridinit_waits(3, 20, 900, nullptr), 1);
  EXPECT_EQ(SessionClient()->Timing().max_attempts, 3);
  EXPECT_EQ(SessionClient()->Timing().long_pause_ms, 20);
  EXPECT_EQ(SessionClient()->Timing().interrupted, nullptr);
  PacketPtr packet = boost::make_shared<grd_svr::CGSvrPk_GridKill>(grd_svr::atRequest);
  EXPECT_EQ(mirl::session::session_exchange(packet), 1);
}

TEST_F(WaitsTest, OneAttemptAgainstNoListenerFailsAtOnceWith625) {
  mirl_test::TestServer refusing(Answering());  // bound, not listening
  ASSERT_EQ(gridinit_waits(1, 0, 1500, nullptr), 1);
  EXPECT_EQ(gridinit(1, "127.0.0.1", refusing.port(), 0), -625);
  EXPECT_EQ(Session().io_mode, 0);
}

TEST_F(WaitsTest, InterruptedPingGives632WithTheSessionClosed) {
  mirl_test::TestServer refusing(Answering());
  ASSERT_EQ(gridinit_waits(25, 10000, 30000, &Interrupted), 1);
  EXPECT_EQ(gridinit(1, "127.0.0.1", refusing.port(), 0), -632);
  EXPECT_EQ(Session().io_mode, 0);
  EXPECT_FALSE(Session().client);
}

TEST_F(WaitsTest, InterruptedExchangeGives632AndTheSessionStaysOpen) {
  int calls = 0;
  UseClient([&calls](PacketPtr request) -> PacketPtr {
    if (++calls == 1) throw grd_svr::ExchangeInterrupted();
    return Respond(request);
  });
  PacketPtr packet = boost::make_shared<grd_svr::CGSvrPk_GridKill>(grd_svr::atRequest);
  const PacketPtr sent = packet;
  EXPECT_EQ(mirl::session::session_exchange(packet), mirl::session::kInterrupted);
  EXPECT_EQ(packet, sent);
  EXPECT_EQ(Session().io_mode, 1);
  EXPECT_EQ(mirl::session::session_exchange(packet), 1);
}

}  // namespace
}  // namespace gridapi_test
