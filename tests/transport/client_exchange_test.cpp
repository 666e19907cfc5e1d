// Exchanges that reach a server: the reply comes back, the request arrives
// intact and stamped, addresses are tried in order, and the session log
// hears of failed attempts only.
#include <fstream>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include "client_fixture.h"
#include "platform/host_info.h"

namespace mirl_test {
namespace {

using grd_svr::CGSvrPacket;
using grd_svr::CGSvrPk_GridOp;
using grd_svr::CGSvrPk_PingServer;

// The system's own name of this computer (client_host_*_test.cpp check it
// against the system's calls).
std::string ThisComputersName() { return mirl::platform::ComputerName(); }

boost::shared_ptr<CGSvrPk_GridOp> GridRequest(int rows, int cols) {
  auto grid = boost::make_shared<CGSvrPk_GridOp>(grd_svr::atRequest, grd_svr::GridWrite);
  grid->m_GridName = "dem";
  grid->m_CellType = 2;
  grid->m_RowCount = rows;
  grid->m_ColCount = cols;
  grid->m_MissingFLT = -9999.0f;
  grid->m_GrdDataFLT.resize(static_cast<std::size_t>(rows) * cols);
  for (std::size_t i = 0; i < grid->m_GrdDataFLT.size(); ++i) {
    grid->m_GrdDataFLT[i] = static_cast<float>(i % 9973) * 0.5f - 7.25f;
  }
  return grid;
}

TEST_F(ClientTest, ServerThatAnswersAtOnceTakesOneAttemptAndLogsNothing) {
  TestServer server(Answer());
  server.Listen();
  auto client = MakeClient(server.port());

  boost::shared_ptr<CGSvrPacket> reply = client->Exchange(Ping());

  ASSERT_TRUE(reply);
  EXPECT_NE(dynamic_cast<CGSvrPk_PingServer*>(reply.get()), nullptr);
  EXPECT_EQ(reply->GetActionType(), grd_svr::atResponse);
  EXPECT_EQ(server.connections(), 1);
  EXPECT_EQ(client->TotalWait(), timing_.short_pause_ms);  // the short pause only
  EXPECT_EQ(LogText(), "");
}

TEST_F(ClientTest, ReplyCarryingAServerErrorIsNotRetried) {
  TestServer server(Answer(grd_svr::ErrGridCannotFind));
  server.Listen();
  auto client = MakeClient(server.port());

  boost::shared_ptr<CGSvrPacket> reply = client->Exchange(Ping());

  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrGridCannotFind);
  EXPECT_EQ(server.connections(), 1);
  EXPECT_EQ(LogText(), "");
}

TEST_F(ClientTest, EveryRequestCarriesThisComputersName) {
  std::vector<std::string> hosts;
  TestServer server([&hosts](tcp::socket& socket) {
    boost::shared_ptr<CGSvrPacket> request = DecodeRequest(ReadFrame(socket));
    hosts.push_back(request ? request->GetClientHost() : "<undecodable>");
    request->SetActionType(grd_svr::atResponse);
    Send(socket, grd_svr::EncodeFrame(request));
  });
  server.Listen();
  auto client = MakeClient(server.port());
  boost::shared_ptr<CGSvrPacket> ping = Ping();
  boost::shared_ptr<CGSvrPacket> grid = GridRequest(2, 3);
  grid->SetClientHost("someone-else");

  ASSERT_TRUE(client->Exchange(ping));
  ASSERT_TRUE(client->Exchange(grid));

  const std::string name = ThisComputersName();
  ASSERT_FALSE(name.empty());
  EXPECT_EQ(client->ClientHost(), name);
  EXPECT_EQ(hosts, (std::vector<std::string>{name, name}));
  EXPECT_EQ(ping->GetClientHost(), name);  // the caller's request is stamped too
  EXPECT_EQ(grid->GetClientHost(), name);
}

TEST_F(ClientTest, RequestFrameIsBlankPaddedHexLengthThenPayload) {
  ReceivedFrame received;
  TestServer server([&received](tcp::socket& socket) {
    received = ReadFrame(socket);
    boost::shared_ptr<CGSvrPacket> request = DecodeRequest(received);
    if (!request) return;
    request->SetActionType(grd_svr::atResponse);
    Send(socket, grd_svr::EncodeFrame(request));
  });
  server.Listen();
  auto client = MakeClient(server.port());

  ASSERT_TRUE(client->Exchange(GridRequest(3, 4)));

  ASSERT_TRUE(received.complete);
  const std::size_t digits = received.header.find_first_not_of(' ');
  ASSERT_NE(digits, std::string::npos) << received.header;
  EXPECT_EQ(received.header.find_first_not_of("0123456789abcdef", digits), std::string::npos)
      << received.header;
  EXPECT_EQ(std::stoul(received.header, nullptr, 16), received.payload.size());
  const boost::shared_ptr<CGSvrPacket> request = DecodeRequest(received);
  auto* grid = dynamic_cast<CGSvrPk_GridOp*>(request.get());
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->m_GridName, "dem");
  EXPECT_EQ(grid->m_GrdDataFLT, GridRequest(3, 4)->m_GrdDataFLT);
}

TEST_F(ClientTest, LargeGridTravelsBothWaysIntact) {
  TestServer server(Answer());
  server.Listen();
  auto client = MakeClient(server.port());
  const auto request = GridRequest(1500, 1700);  // about 10 MB: many read and write steps

  boost::shared_ptr<CGSvrPacket> reply = client->Exchange(request);

  auto* grid = dynamic_cast<CGSvrPk_GridOp*>(reply.get());
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->m_RowCount, 1500);
  EXPECT_EQ(grid->m_ColCount, 1700);
  EXPECT_EQ(grid->m_MissingFLT, -9999.0f);
  EXPECT_TRUE(grid->m_GrdDataFLT == request->m_GrdDataFLT);
  EXPECT_EQ(LogText(), "");
}

TEST_F(ClientTest, ReplyLargerOrSmallerThanTheRequestArrivesWhole) {
  // A small request fetching a big grid, then a big grid answered briefly:
  // the reply buffer is sized by the reply, not by the request.
  const auto big = GridRequest(600, 700);
  TestServer server([&big](tcp::socket& socket) {
    boost::shared_ptr<CGSvrPacket> request = DecodeRequest(ReadFrame(socket));
    if (!request) return;
    boost::shared_ptr<CGSvrPacket> reply =
        dynamic_cast<CGSvrPk_PingServer*>(request.get()) != nullptr
            ? boost::shared_ptr<CGSvrPacket>(big)
            : boost::make_shared<CGSvrPk_PingServer>(grd_svr::atResponse);
    Send(socket, grd_svr::EncodeFrame(reply));
  });
  server.Listen();
  auto client = MakeClient(server.port());

  boost::shared_ptr<CGSvrPacket> fetched = client->Exchange(Ping());
  boost::shared_ptr<CGSvrPacket> answered = client->Exchange(GridRequest(600, 700));

  auto* grid = dynamic_cast<CGSvrPk_GridOp*>(fetched.get());
  ASSERT_NE(grid, nullptr);
  EXPECT_TRUE(grid->m_GrdDataFLT == big->m_GrdDataFLT);
  ASSERT_TRUE(answered);
  EXPECT_NE(dynamic_cast<CGSvrPk_PingServer*>(answered.get()), nullptr);
  EXPECT_EQ(LogText(), "");
}

TEST_F(ClientTest, ServerListeningLateIsReachedOnTheThirdAttempt) {
  TestServer server(Answer());  // bound, so connections are refused until it listens
  int resolutions = 0;
  auto client = MakeClient(server.port());
  client->SetResolver([&](const std::string&, const std::string& port) {
    if (++resolutions == 3) server.Listen();
    return grd_svr::CGSvrClient::Endpoints{tcp::endpoint(
        boost::asio::ip::address_v4::loopback(), static_cast<unsigned short>(std::stoi(port)))};
  });

  boost::shared_ptr<CGSvrPacket> reply = client->Exchange(Ping());

  ASSERT_TRUE(reply);
  EXPECT_EQ(resolutions, 3);
  EXPECT_EQ(server.connections(), 1);
  // Three short pauses of 1 ms and two long ones of 2 ms: 7 ms.
  const std::string refused =
      "Connect error: " + SystemMessage(boost::asio::error::connection_refused) + "\n";
  EXPECT_EQ(LogText(), Repeat(refused, 2) + WaitEntry(2, 3, "0.007000", "0.000000"));
}

TEST_F(ClientTest, EachExchangeLogsOnlyItsOwnFailures) {
  TestServer server(Answer());
  int resolutions = 0;
  auto client = MakeClient(server.port());
  client->SetResolver([&](const std::string&, const std::string&) {
    if (++resolutions == 2) server.Listen();
    return grd_svr::CGSvrClient::Endpoints{server.endpoint()};
  });

  ASSERT_TRUE(client->Exchange(Ping()));
  const std::string after_first = LogText();
  ASSERT_TRUE(client->Exchange(Ping()));

  const std::string refused =
      "Connect error: " + SystemMessage(boost::asio::error::connection_refused) + "\n";
  EXPECT_EQ(after_first, refused + WaitEntry(1, 2, "0.004000", "0.000000"));
  EXPECT_EQ(LogText(), after_first);
  EXPECT_EQ(client->TotalWait(), 5);  // the wait keeps growing over the client's life
}

TEST_F(ClientTest, SeveralAddressesAreTriedInOrderWithinOneAttempt) {
  TestServer dead_first(Answer());
  TestServer dead_second(Answer());
  TestServer live(Answer());
  live.Listen();
  int resolutions = 0;
  auto client = MakeClient(live.port(), "grid-server");
  client->SetResolver([&](const std::string& host, const std::string&) {
    ++resolutions;
    EXPECT_EQ(host, "grid-server");
    return grd_svr::CGSvrClient::Endpoints{dead_first.endpoint(), dead_second.endpoint(),
                                           live.endpoint()};
  });

  ASSERT_TRUE(client->Exchange(Ping()));

  EXPECT_EQ(resolutions, 1);
  EXPECT_EQ(live.connections(), 1);
  EXPECT_EQ(LogText(), "");  // only the last address of an attempt is reported
}

TEST_F(ClientTest, NoAddressAcceptingGivesUpAfterTwentyFiveAttempts) {
  TestServer dead_first(Answer());
  TestServer dead_second(Answer());
  int resolutions = 0;
  auto client = MakeClient(dead_first.port());
  client->SetResolver([&](const std::string&, const std::string&) {
    ++resolutions;
    return grd_svr::CGSvrClient::Endpoints{dead_first.endpoint(), dead_second.endpoint()};
  });

  EXPECT_FALSE(client->Exchange(Ping()));

  EXPECT_EQ(resolutions, 25);
  // One line per attempt, not per address; 25 short and 24 long pauses: 73 ms.
  const std::string refused =
      "Connect error: " + SystemMessage(boost::asio::error::connection_refused) + "\n";
  EXPECT_EQ(LogText(), Repeat(refused, 25) + WaitEntry(24, 25, "0.073000", "0.000000"));
}

TEST_F(ClientTest, HostNameIsResolvedByTheSystem) {
  TestServer server(Answer());
  server.Listen();
  auto client = MakeClient(server.port(), "localhost");

  EXPECT_TRUE(client->Exchange(Ping()));
  EXPECT_EQ(server.connections(), 1);
}

TEST_F(ClientTest, MadeClientUsesTheShippedPausesAndTheGivenPort) {
  TestServer server(Answer());
  server.Listen();
  boost::shared_ptr<grd_svr::IGSvrClient> client =
      grd_svr::make_tcp_client("127.0.0.1", server.port(), &log_);
  ASSERT_TRUE(client);

  EXPECT_TRUE(client->Exchange(Ping()));

  auto* tcp_client = dynamic_cast<grd_svr::CGSvrClient*>(client.get());
  ASSERT_NE(tcp_client, nullptr);
  EXPECT_EQ(tcp_client->TotalWait(), 7);
  EXPECT_EQ(LogText(), "");
}

TEST_F(ClientTest, WithTheLogClosedFailuresAreDroppedNotKeptForLater) {
  TestServer server(Answer());
  int resolutions = 0;
  auto client = MakeClient(server.port());
  client->SetResolver([&](const std::string&, const std::string&) {
    if (++resolutions == 3) server.Listen();
    return grd_svr::CGSvrClient::Endpoints{server.endpoint()};
  });
  log_.close();
  ASSERT_TRUE(client->Exchange(Ping()));  // two failures, nowhere to write them

  log_.open(log_path_, std::ios::out | std::ios::app);
  ASSERT_TRUE(client->Exchange(Ping()));

  EXPECT_EQ(LogText(), "");
}

TEST_F(ClientTest, ClientWithoutALogStreamStillWorks) {
  TestServer server(Answer());
  grd_svr::CGSvrClient client("127.0.0.1", std::to_string(server.port()), nullptr);
  client.SetTiming(timing_);
  int resolutions = 0;
  client.SetResolver([&](const std::string&, const std::string&) {
    if (++resolutions == 2) server.Listen();
    return grd_svr::CGSvrClient::Endpoints{server.endpoint()};
  });

  EXPECT_TRUE(client.Exchange(Ping()));
  EXPECT_EQ(resolutions, 2);
}

}  // namespace
}  // namespace mirl_test
