// Connections that misbehave: garbage, too long, silent, stalled, trickling
// and killed ones are answered or closed, and the server goes on serving
// everyone else.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "gridserver_fixture.h"

namespace gridserver_test {
namespace {

class GridServerFaultTest : public GridServerTest {
 protected:
  // A ping through the library's client: the server still serves others.
  void ExpectServing() {
    Packet reply = Exchange(Ping());
    ASSERT_NE(As<grd_svr::CGSvrPk_PingServer>(reply), nullptr);
    EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrNone);
  }
  std::string LogText() { return FileText(options_.log_file); }
  void UseLog() { options_.log_file = scratch_.file("server_log.txt"); }
};

TEST_F(GridServerFaultTest, AHeaderThatIsNotHexadecimalGetsAnErrorReportAndIsClosed) {
  Start();
  RawConnection raw(port());
  raw.Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
  Packet reply = raw.ReadReply();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->GetActionID(), grd_svr::ErrorReport);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrPackMalformed);
  EXPECT_TRUE(raw.ClosedByServer());
  ExpectServing();
}

TEST_F(GridServerFaultTest, APayloadThatDoesNotDecodeGetsAnErrorReport) {
  Start();
  RawConnection raw(port());
  raw.Send("       5hello");
  Packet reply = raw.ReadReply();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->GetActionID(), grd_svr::ErrorReport);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrPackMalformed);
  ExpectServing();
}

TEST_F(GridServerFaultTest, BytesAfterTheRequestDoNotCostTheClientItsReply) {
  Start();
  // A large reply, and more bytes than the request behind it: closing with
  // those unread would reset the connection under the reply.
  ASSERT_EQ(ExchangeCode(MakeWindow(500, 500)), grd_svr::ErrNone);
  ASSERT_EQ(ExchangeCode(WriteGrid("dem", 500, 500, std::vector<float>(250000, 7.0f))),
            grd_svr::ErrNone);
  for (int i = 0; i < 3; ++i) {
    RawConnection raw(port());
    raw.Send(grd_svr::EncodeFrame(LoadGrid("dem")) + std::string(200000, 'z'));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Packet reply = raw.ReadReply();
    ASSERT_NE(As<grd_svr::CGSvrPk_GridOp>(reply), nullptr) << i;
    EXPECT_EQ(As<grd_svr::CGSvrPk_GridOp>(reply)->m_GrdDataFLT.size(), 250000u);
  }
}

TEST_F(GridServerFaultTest, ATooLongFrameIsRefusedFromItsHeaderAlone) {
  options_.max_request_bytes = 1000;
  Start();
  {
    // 2000 bytes announced, none sent: the reply comes without waiting.
    RawConnection raw(port());
    raw.Send("     7d0");
    Packet reply = raw.ReadReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrGridTooBig);
    EXPECT_TRUE(raw.ClosedByServer());
  }
  {
    // Beyond the protocol's own largest frame.
    RawConnection raw(port());
    raw.Send("ffffffff");
    Packet reply = raw.ReadReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrGridTooBig);
  }
  {
    // Exactly the limit is accepted (and then fails to decode).
    RawConnection raw(port());
    raw.Send("     3e8" + std::string(1000, 'x'));
    Packet reply = raw.ReadReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrPackMalformed);
  }
  ExpectServing();
}

TEST_F(GridServerFaultTest, ASilentConnectionIsClosedWithoutAReplyAndBlocksNobody) {
  UseLog();
  options_.idle_timeout_ms = 300;
  Start();
  RawConnection silent(port());
  ExpectServing();
  EXPECT_TRUE(silent.ClosedByServer());
  EXPECT_TRUE(EventuallyHolds(options_.log_file, "it sent nothing for 300 ms")) << LogText();
}

TEST_F(GridServerFaultTest, AConnectionThatStallsInsideItsPayloadIsClosed) {
  options_.idle_timeout_ms = 300;
  Start();
  RawConnection stalled(port());
  stalled.Send("      64" + std::string(10, 'x'));  // 100 announced, 10 sent
  ExpectServing();
  EXPECT_TRUE(stalled.ClosedByServer());
}

TEST_F(GridServerFaultTest, ATrickleThatNeverFallsSilentIsCutByTheRequestDeadline) {
  UseLog();
  options_.idle_timeout_ms = 1000;
  options_.request_timeout_ms = 600;
  Start();
  RawConnection trickle(port());
  trickle.Send("     3e8");  // 1000 bytes announced
  bool cut = false;
  // Far longer than the deadline, one byte well within the idle time-out:
  // only the request deadline can end it.
  for (int i = 0; i < 100 && !cut; ++i) {
    try {
      trickle.Send("x");
    } catch (const boost::system::system_error&) {
      cut = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(cut);
  EXPECT_TRUE(EventuallyHolds(options_.log_file, "its request was not complete after 600 ms"))
      << LogText();
  ExpectServing();
}

TEST_F(GridServerFaultTest, AClientKilledMidRequestDisturbsNobody) {
  UseLog();
  Start();
  {
    RawConnection killed(port());
    killed.Send("     1f4" + std::string(100, 'x'));  // 500 announced, 100 sent
    killed.Abort();
  }
  ExpectServing();
  // Killed after sending a whole request, before reading the reply.
  ASSERT_EQ(ExchangeCode(MakeWindow(300, 300)), grd_svr::ErrNone);
  ASSERT_EQ(ExchangeCode(WriteGrid("dem", 300, 300, std::vector<float>(90000, 2.5f))),
            grd_svr::ErrNone);
  for (int i = 0; i < 5; ++i) {
    RawConnection killed(port());
    killed.Send(grd_svr::EncodeFrame(LoadGrid("dem")));
    killed.Abort();
  }
  Packet reply = Exchange(LoadGrid("dem"));
  ASSERT_NE(As<grd_svr::CGSvrPk_GridOp>(reply), nullptr);
  EXPECT_EQ(As<grd_svr::CGSvrPk_GridOp>(reply)->m_GrdDataFLT, std::vector<float>(90000, 2.5f));
  EXPECT_TRUE(EventuallyHolds(options_.log_file, "closed before its request was complete"))
      << LogText();
}

TEST_F(GridServerFaultTest, ConnectionsBeyondTheLimitWaitTheirTurnInsteadOfBeingDropped) {
  options_.max_connections = 1;
  options_.idle_timeout_ms = 300;
  Start();
  // The one slot is held by a silent client until its time-out; the ping
  // waits in the listen queue meanwhile and is then served.
  RawConnection silent(port());
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ExpectServing();
  EXPECT_TRUE(silent.ClosedByServer());
}

TEST_F(GridServerFaultTest, NamesOutsideTheRootAreRefusedOverTheWire) {
  Start();
  EXPECT_EQ(ExchangeCode(LoadGrid("../dem")), grd_svr::ErrPackMalformed);
  EXPECT_EQ(ExchangeCode(List("/")), grd_svr::ErrPackMalformed);
  EXPECT_EQ(ExchangeCode(Describe("/etc")), grd_svr::ErrPackMalformed);
  EXPECT_EQ(ExchangeCode(List("")), grd_svr::ErrNone);
}

TEST_F(GridServerFaultTest, RetireIsAnsweredThenTheServerStopsAndListensNoMore) {
  Start();
  // A client that has sent nothing holds the stop up no longer than its
  // header time-out.
  RawConnection idle(port());
  const unsigned short served_port = port();
  Packet reply = Exchange(Retire());
  ASSERT_NE(As<grd_svr::CGSvrPk_GridServerRetire>(reply), nullptr);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrNone);
  ASSERT_TRUE(server_->WaitForExit());
  EXPECT_EQ(server_->reason(), grid_server::StopReason::kRetired);
  EXPECT_TRUE(idle.ClosedByServer());
  boost::asio::io_context io;
  tcp::socket probe(io);
  boost::system::error_code error;
  probe.connect(tcp::endpoint(boost::asio::ip::address_v4::loopback(), served_port), error);
  EXPECT_TRUE(error);
}

}  // namespace
}  // namespace gridserver_test
