// Attempts that fail: a reply that cannot be read or decoded, a server that
// goes silent, one that never reads (an address that never answers is in
// client_blackhole_posix_test.cpp). Each failed attempt is one line in the
// session log; after 25 the client gives up with an empty reply. Failures
// that retrying cannot mend leave Exchange as exceptions.

#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <boost/make_shared.hpp>
#include <boost/system/system_error.hpp>
#include <gtest/gtest.h>

#include "client_fixture.h"

namespace mirl_test {
namespace {

using grd_svr::CGSvrPacket;

// 25 short pauses of 1 ms and 24 long ones of 2 ms.
const char kGaveUpSeconds[] = "0.073000";

// A server that reads the request and answers with the given bytes.
TestServer::Behaviour Reply(const std::string& bytes) {
  return [bytes](tcp::socket& socket) {
    ReadFrame(socket);
    Send(socket, bytes);
  };
}

std::string PingReplyFrame() {
  auto reply = boost::make_shared<grd_svr::CGSvrPk_PingServer>(grd_svr::atResponse);
  return grd_svr::EncodeFrame(reply);
}

class FailedAttemptTest : public ClientTest {
 protected:
  // Runs one exchange against a server behaving so; expects every attempt
  // to fail with the line, and the client to give up.
  void ExpectEveryAttemptFails(const TestServer::Behaviour& behaviour, const std::string& line) {
    TestServer server(behaviour);
    server.Listen();
    auto client = MakeClient(server.port());
    EXPECT_FALSE(client->Exchange(Ping()));
    EXPECT_EQ(server.connections(), timing_.max_attempts);
    EXPECT_EQ(LogText(), Repeat(line, 25) + WaitEntry(24, 25, kGaveUpSeconds, "0.000000"));
  }

  const std::string invalid_ =
      "Read error: " + SystemMessage(boost::asio::error::invalid_argument) + "\n";
  const std::string end_of_file_ = "Read error: End of file\n";
};

TEST_F(FailedAttemptTest, HeaderWithoutHexadecimalDigits) {
  ExpectEveryAttemptFails(Reply("zzzzzzzz"), invalid_);
}

TEST_F(FailedAttemptTest, ShortHeaderThenClose) {
  ExpectEveryAttemptFails(Reply("   1"), end_of_file_);
}

TEST_F(FailedAttemptTest, TruncatedPayload) {
  const std::string frame = PingReplyFrame();
  ExpectEveryAttemptFails(Reply(frame.substr(0, frame.size() - 5)), end_of_file_);
}

TEST_F(FailedAttemptTest, PayloadThatIsNoArchive) {
  ExpectEveryAttemptFails(Reply("      10" + std::string(16, 'x')), invalid_);
}

TEST_F(FailedAttemptTest, EmptyPacket) {
  ExpectEveryAttemptFails(Reply(grd_svr::EncodeFrame(boost::shared_ptr<CGSvrPacket>())),
                          "Read: No response from the server\n");
}

TEST_F(FailedAttemptTest, AReplyLongerThanAnyFrameEndsTheExchangeAtOnce) {
  // The server sends nothing after the header and keeps the connection
  // open: only a refusal on the header itself ends the attempt, and no
  // retry could make the reply fit.
  TestServer server([](tcp::socket& socket) {
    ReadFrame(socket);
    Send(socket, "ffffffff");
    WaitForClose(socket);
  });
  server.Listen();
  auto client = MakeClient(server.port());
  EXPECT_THROW(client->Exchange(Ping()), boost::system::system_error);
  EXPECT_EQ(server.connections(), 1);
  EXPECT_EQ(LogText(), "Read error: " + SystemMessage(boost::asio::error::message_size) + "\n" +
                           WaitEntry(0, 0, "0.000000", "0.000000"));
  // The client is fit for the next exchange.
  TestServer next(Answer());
  next.Listen();
  EXPECT_TRUE(MakeClient(next.port())->Exchange(Ping()));
}

TEST_F(FailedAttemptTest, LengthLimitIsTheProtocolsMaximum) {
  char above[16], at[16];
  std::snprintf(above, sizeof(above), "%8zx", grd_svr::kMaxFrameLength + 1);
  std::snprintf(at, sizeof(at), "%8zx", grd_svr::kMaxFrameLength);
  timing_.max_attempts = 1;

  {
    TestServer server(Reply(above));
    server.Listen();
    EXPECT_THROW(MakeClient(server.port())->Exchange(Ping()), boost::system::system_error);
  }
  {
    // At the limit the length is accepted and the read goes on until the
    // server closes.
    TestServer server(Reply(at));
    server.Listen();
    EXPECT_FALSE(MakeClient(server.port())->Exchange(Ping()));
  }
  EXPECT_EQ(LogText(), "Read error: " + SystemMessage(boost::asio::error::message_size) + "\n" +
                           WaitEntry(0, 0, "0.000000", "0.000000") + end_of_file_ +
                           WaitEntry(0, 1, "0.001000", "0.000000"));
}

TEST_F(FailedAttemptTest, ServerThatAcceptsAndStaysSilentTimesOut) {
  timing_.silence_timeout_ms = 40;
  ExpectEveryAttemptFails(
      [](tcp::socket& socket) {
        ReadFrame(socket);
        WaitForClose(socket);
      },
      "Read error: " + SystemMessage(boost::asio::error::timed_out) + "\n");
}

TEST_F(FailedAttemptTest, ServerThatStopsMidPayloadTimesOut) {
  timing_.silence_timeout_ms = 40;
  const std::string frame = PingReplyFrame();
  ExpectEveryAttemptFails(
      [frame](tcp::socket& socket) {
        ReadFrame(socket);
        Send(socket, frame.substr(0, frame.size() / 2));
        WaitForClose(socket);
      },
      "Read error: " + SystemMessage(boost::asio::error::timed_out) + "\n");
}

TEST_F(ClientTest, SlowButSteadyReplyOutlastsTheSilenceTimeOut) {
  // Twelve pieces 100 ms apart take longer than the one-second time-out,
  // but no gap comes near it: the time-out is on silence, not duration.
  timing_.silence_timeout_ms = 1000;
  const std::string frame = PingReplyFrame();
  TestServer server([frame](tcp::socket& socket) {
    ReadFrame(socket);
    const std::size_t piece = frame.size() / 12 + 1;
    for (std::size_t at = 0; at < frame.size(); at += piece) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      Send(socket, frame.substr(at, piece));
    }
  });
  server.Listen();
  auto client = MakeClient(server.port());

  EXPECT_TRUE(client->Exchange(Ping()));
  EXPECT_EQ(server.connections(), 1);
  EXPECT_EQ(LogText(), "");
}

TEST_F(ClientTest, ServerThatNeverReadsTimesOutTheWrite) {
  timing_.silence_timeout_ms = 100;
  timing_.max_attempts = 2;
  std::promise<void> released;
  std::shared_future<void> release = released.get_future().share();
  TestServer server([release](tcp::socket&) { release.wait(); });
  server.Listen();
  auto client = MakeClient(server.port());
  // Far more than the socket buffers of both ends hold.
  auto grid = boost::make_shared<grd_svr::CGSvrPk_GridOp>(grd_svr::atRequest, grd_svr::GridWrite);
  grid->m_GrdDataFLT.assign(std::size_t{16} << 20, 1.5f);

  EXPECT_FALSE(client->Exchange(grid));
  released.set_value();

  const std::string line = "Write error: " + SystemMessage(boost::asio::error::timed_out) + "\n";
  EXPECT_EQ(LogText(), Repeat(line, 2) + WaitEntry(1, 2, "0.004000", "0.000000"));
}

TEST_F(ClientTest, UnresolvableNameThrowsWithoutRetrying) {
  int resolutions = 0;
  auto client = MakeClient(3339, "no-such-grid-server");
  client->SetResolver(
      [&](const std::string&, const std::string&) -> grd_svr::CGSvrClient::Endpoints {
        ++resolutions;
        throw boost::system::system_error(boost::asio::error::host_not_found);
      });

  EXPECT_THROW(client->Exchange(Ping()), boost::system::system_error);
  EXPECT_EQ(resolutions, 1);
  EXPECT_EQ(client->TotalWait(), 0);
  EXPECT_EQ(LogText(), "");
}

TEST_F(ClientTest, ResolutionWithoutAddressesThrows) {
  auto client = MakeClient(3339);
  client->SetResolver(
      [](const std::string&, const std::string&) { return grd_svr::CGSvrClient::Endpoints{}; });
  EXPECT_THROW(client->Exchange(Ping()), boost::system::system_error);
}

TEST_F(ClientTest, EmptyRequestIsRefused) {
  auto client = MakeClient(3339);
  EXPECT_THROW(client->Exchange(boost::shared_ptr<CGSvrPacket>()), std::invalid_argument);
}

// No export key: Boost cannot serialize it through the base pointer.
class UnregisteredPacket : public CGSvrPacket {
 public:
  UnregisteredPacket() : CGSvrPacket(grd_svr::atRequest, grd_svr::PingServer, "grd_svr_v1.3") {}
};

TEST_F(ClientTest, RequestThatCannotBeEncodedThrowsAndTheClientRecovers) {
  std::vector<std::size_t> received;
  TestServer server([&received](tcp::socket& socket) {
    ReceivedFrame frame = ReadFrame(socket);
    received.push_back(frame.complete ? frame.payload.size() : 0);
    boost::shared_ptr<CGSvrPacket> request = DecodeRequest(frame);
    if (!request) return;
    request->SetActionType(grd_svr::atResponse);
    Send(socket, grd_svr::EncodeFrame(request));
  });
  server.Listen();
  auto client = MakeClient(server.port());

  EXPECT_THROW(client->Exchange(boost::make_shared<UnregisteredPacket>()), std::exception);
  ASSERT_TRUE(client->Exchange(Ping()));

  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0], 0u);  // connected, but nothing was written
  EXPECT_GT(received[1], 0u);
  EXPECT_EQ(LogText(), "");
}

TEST_F(ClientTest, RequestLongerThanAnyFrameThrowsAtOnceWithoutRetrying) {
  TestServer server([](tcp::socket& socket) { ReadFrame(socket); });
  server.Listen();
  auto client = MakeClient(server.port());
  int resolutions = 0;
  const tcp::endpoint target(boost::asio::ip::make_address("127.0.0.1"), server.port());
  client->SetResolver([&](const std::string&, const std::string&) {
    ++resolutions;
    return grd_svr::CGSvrClient::Endpoints{target};
  });
  auto grid = boost::make_shared<grd_svr::CGSvrPk_GridOp>(grd_svr::atRequest, grd_svr::GridWrite);
  grid->m_CellType = 2;
  grid->m_GrdDataFLT.resize(grd_svr::kMaxFrameLength / sizeof(float) + 1);

  // One attempt only: retrying cannot make the frame fit.
  EXPECT_THROW(client->Exchange(grid), boost::system::system_error);
  EXPECT_EQ(resolutions, 1);
}

}  // namespace
}  // namespace mirl_test
