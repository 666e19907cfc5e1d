#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <stdexcept>
#include <string>

#include "exports/grid_api.h"
#include "gridapi_fixture.h"
#include "protocol/framing.h"
#include "protocol/packets.h"
#include "server/gio.h"
#include "server/gio_holder.h"
#include "logging/multi_log.h"
#include "session/session_exchange.h"
#include "session/session_record.h"
#include "session/session_roads.h"
#include "transport/test_server.h"

namespace gridapi_test {
namespace {

using mirl::session::Session;

// The arguments gridinit handed to the client factory.
struct FactoryCall {
  std::string host;
  int port = 0;
  std::ofstream* log = nullptr;
  int calls = 0;
};

class GridinitTest : public SessionTest {
 protected:
  ~GridinitTest() override {
    mirl::session::CloseSession();
    Session().gio_holder.reset();
  }

  // gridinit's clients are fakes answering with answer.
  void FakeClients(Answer answer) {
    mirl::session::SetClientFactory(
        [this, answer](const std::string& host, int port, std::ofstream* log) {
          ++factory_.calls;
          factory_.host = host;
          factory_.port = port;
          factory_.log = log;
          auto client = boost::make_shared<FakeClient>(answer);
          client_ = client.get();
          return boost::shared_ptr<grd_svr::IGSvrClient>(client);
        });
  }
  static PacketPtr PingReply(PacketPtr request) { return Respond(request); }

  bool SessionClosed() const {
    const mirl::session::SessionRecord& s = Session();
    return s.io_mode == 0 && s.source_name.empty() && s.source_port == 0 && !s.client &&
           !s.handler && !s.session_log.is_open() && !s.server_log;
  }

  FactoryCall factory_;
  FakeClient* client_ = nullptr;
};

TEST_F(GridinitTest, BadIoModeGivesMinus621AndIsLogged) {
  EXPECT_EQ(gridinit(3, "host", 0, 1), -621);
  EXPECT_EQ(gridinit(0, "host", 0, 1), -621);
  EXPECT_EQ(Session().io_mode, 0);
  EXPECT_EQ(LogText(),
            "Entering gridinit\ngridinit returned with code: -621\n"
            "Entering gridinit\ngridinit returned with code: -621\n");
}

TEST_F(GridinitTest, WithoutLoggingNothingIsWritten) {
  EXPECT_EQ(gridinit(3, "host", 0, 0), -621);
  FakeClients(&PingReply);
  EXPECT_EQ(gridinit(1, "host", 0, 0), 1);
  EXPECT_TRUE(dir_.entries().empty());
}

TEST_F(GridinitTest, NullSourceNameIsCheckedAfterTheIoMode) {
  EXPECT_EQ(gridinit(1, nullptr, 0, 0), -622);
  EXPECT_EQ(gridinit(7, nullptr, 0, 0), -621);
}

TEST_F(GridinitTest, EmptyHostGivesMinus624AndClosesEverything) {
  EXPECT_EQ(gridinit(1, "", 0, 1), -624);
  EXPECT_TRUE(SessionClosed());
  // The clean-up closed the log before the code could be written.
  const std::string log = LogText();
  EXPECT_NE(log.find("Entering gridinit\n  Session parameters"), std::string::npos);
  EXPECT_EQ(log.find("returned with code"), std::string::npos);
}

TEST_F(GridinitTest, SecondGridinitGivesMinus623AndTheFirstSessionKeepsWorking) {
  FakeClients(&PingReply);
  ASSERT_EQ(gridinit(1, "first", 4000, 0), 1);
  EXPECT_EQ(gridinit(1, "second", 5000, 0), -623);
  EXPECT_EQ(gridinit(2, "/tmp", 0, 0), -623);
  EXPECT_EQ(factory_.calls, 1);
  EXPECT_EQ(Session().source_name, "first");
  PacketPtr packet = boost::make_shared<grd_svr::CGSvrPk_PingServer>(grd_svr::atRequest);
  EXPECT_EQ(mirl::session::session_exchange(packet), 1);
}

TEST_F(GridinitTest, RemoteSessionPingsWithAPingRequest) {
  FakeClients(&PingReply);
  ASSERT_EQ(gridinit(1, "gridhost", 4123, 0), 1);
  EXPECT_EQ(factory_.host, "gridhost");
  EXPECT_EQ(factory_.port, 4123);
  EXPECT_EQ(factory_.log, &Session().session_log);
  ASSERT_EQ(client_->requests.size(), 1u);
  const PacketPtr& ping = client_->requests[0];
  EXPECT_NE(dynamic_cast<grd_svr::CGSvrPk_PingServer*>(ping.get()), nullptr);
  EXPECT_EQ(ping->GetActionID(), grd_svr::PingServer);
  EXPECT_EQ(Session().io_mode, 1);
  EXPECT_EQ(Session().source_port, 4123);
}

TEST_F(GridinitTest, PortZeroOrNegativeMeans3339ButIsLoggedAsPassed) {
  FakeClients(&PingReply);
  ASSERT_EQ(gridinit(1, "gridhost", 0, 1), 1);
  EXPECT_EQ(factory_.port, 3339);
  mirl::session::CloseSession();
  ASSERT_EQ(gridinit(1, "gridhost", -5, 1), 1);
  EXPECT_EQ(factory_.port, 3339);
  EXPECT_EQ(Session().source_port, 3339);
  const std::string params = "  Session parameters" + Indent() + "io_mode    : 1" + Indent() +
                             "source_name: gridhost" + Indent() + "source_port: %s" + Indent() +
                             "do_log     : 1";
  auto with_port = [&](const std::string& port) {
    return "Entering gridinit\n" + params.substr(0, params.find("%s")) + port +
           params.substr(params.find("%s") + 2) + "\ngridinit returned with code: 1\n";
  };
  EXPECT_EQ(LogText(), with_port("0") + with_port("-5"));
}

TEST_F(GridinitTest, ThePingsErrorCodeIsNotExamined) {
  FakeClients([](PacketPtr p) { return Respond(p, grd_svr::ErrPackVersion); });
  EXPECT_EQ(gridinit(1, "gridhost", 0, 0), 1);
}

TEST_F(GridinitTest, NoPingReplyGivesMinus625) {
  FakeClients([](PacketPtr) { return PacketPtr(); });
  EXPECT_EQ(gridinit(1, "gridhost", 0, 1), -625);
  EXPECT_TRUE(SessionClosed());
}

TEST_F(GridinitTest, PingReplyOfAnotherClassOrTypeGivesMinus625) {
  FakeClients([](PacketPtr) -> PacketPtr {
    return boost::make_shared<grd_svr::CGSvrPk_GridKill>(grd_svr::atResponse);
  });
  EXPECT_EQ(gridinit(1, "gridhost", 0, 0), -625);
  FakeClients([](PacketPtr request) { return request; });  // still atRequest
  EXPECT_EQ(gridinit(1, "gridhost", 0, 0), -625);
  EXPECT_TRUE(SessionClosed());
}

TEST_F(GridinitTest, NoClientGivesMinus628) {
  mirl::session::SetClientFactory([](const std::string&, int, std::ofstream*) {
    return boost::shared_ptr<grd_svr::IGSvrClient>();
  });
  EXPECT_EQ(gridinit(1, "gridhost", 0, 1), -628);
  EXPECT_TRUE(SessionClosed());
}

TEST_F(GridinitTest, ExceptionWhilePingingGivesMinus629) {
  FakeClients([](PacketPtr) -> PacketPtr { throw std::runtime_error("host not found"); });
  EXPECT_EQ(gridinit(1, "no.such.host", 0, 1), -629);
  EXPECT_TRUE(SessionClosed());
}

// A grid I/O holder whose readiness cannot even be asked.
class ThrowingHolder : public grd_svr::IGIO {
 public:
  bool IsReady() override { throw std::runtime_error("broken binding"); }
};

TEST_F(GridinitTest, ExceptionFromTheHolderGivesMinus626) {
  Session().gio_holder = boost::make_shared<ThrowingHolder>();
  EXPECT_EQ(gridinit(2, dir_.str().c_str(), 0, 1), -626);
  EXPECT_TRUE(SessionClosed());
}

TEST_F(GridinitTest, GridLibraryNotBesideTheModuleGivesMinus627) {
  // The test program's own directory holds no avgridio.
  Session().gio_holder.reset();
  EXPECT_EQ(gridinit(2, dir_.str().c_str(), 0, 0), -627);
  EXPECT_TRUE(SessionClosed());
  ASSERT_TRUE(Session().gio_holder);
  EXPECT_FALSE(Session().gio_holder->IsReady());
}

TEST_F(GridinitTest, InProcessSessionReusesTheLoadedLibrary) {
  boost::shared_ptr<grd_svr::IGIO> holder =
      boost::make_shared<grd_svr::CGIO_Holder>(MIRL_BINARY_DIR "/lib");
  ASSERT_TRUE(holder->IsReady());
  Session().gio_holder = holder;
  ASSERT_EQ(gridinit(2, dir_.str().c_str(), 0, 0), 1);
  EXPECT_TRUE(Session().handler);
  EXPECT_EQ(Session().source_name, dir_.str());
  mirl::session::CloseSession();
  EXPECT_EQ(Session().gio_holder, holder);
  ASSERT_EQ(gridinit(2, dir_.str().c_str(), 0, 0), 1);
  EXPECT_EQ(Session().gio_holder, holder);
}

TEST_F(GridinitTest, LoggingOpensBothLogsAndTheHandlerWritesTheServerLog) {
  Session().gio_holder = boost::make_shared<grd_svr::CGIO_Holder>(MIRL_BINARY_DIR "/lib");
  ASSERT_EQ(gridinit(2, dir_.str().c_str(), 0, 1), 1);
  ASSERT_TRUE(Session().server_log);
  PacketPtr packet = boost::make_shared<grd_svr::CGSvrPk_PingServer>(grd_svr::atRequest);
  EXPECT_EQ(mirl::session::session_exchange(packet), 1);
  Session().server_log->Flush();
  const std::string server_log = ReadFile(dir_.file("grid_server_log.txt"));
  EXPECT_NE(server_log.find("PingServer        | atRequest  | "), std::string::npos) << server_log;
  mirl::session::CloseSession();
  EXPECT_NE(LogText().find("gridinit returned with code: 1\n"), std::string::npos);
}

// A grid server on a real socket that answers each request with answer.
mirl_test::TestServer::Behaviour Serving(Answer answer) {
  return [answer](mirl_test::tcp::socket& socket) {
    PacketPtr request = mirl_test::DecodeRequest(mirl_test::ReadFrame(socket));
    if (!request) return;
    mirl_test::Send(socket, grd_svr::EncodeFrame(answer(request)));
  };
}

TEST_F(GridinitTest, RemoteSessionOverTcpWithTheRealClient) {
  mirl_test::TestServer server(Serving(&PingReply));
  server.Listen();
  ASSERT_EQ(gridinit(1, "127.0.0.1", server.port(), 0), 1);
  EXPECT_EQ(server.connections(), 1);
  // The session's road now carries other requests to the same server.
  PacketPtr packet = boost::make_shared<grd_svr::CGSvrPk_GridKill>(grd_svr::atRequest);
  EXPECT_EQ(mirl::session::session_exchange(packet), 1);
  EXPECT_NE(dynamic_cast<grd_svr::CGSvrPk_GridKill*>(packet.get()), nullptr);
}

TEST_F(GridinitTest, RemoteServerAnsweringWithAnotherClassGivesMinus625AtOnce) {
  mirl_test::TestServer server(Serving([](PacketPtr) -> PacketPtr {
    return boost::make_shared<grd_svr::CGSvrPk_GridList>(grd_svr::atResponse);
  }));
  server.Listen();
  EXPECT_EQ(gridinit(1, "127.0.0.1", server.port(), 0), -625);
  // A reply that arrives ends the client's attempts, whatever it holds.
  EXPECT_EQ(server.connections(), 1);
}

}  // namespace
}  // namespace gridapi_test
