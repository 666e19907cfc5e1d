// The server's own limits as a client meets them: the budget for requests
// not yet complete, the replies owed at shutdown, and requests whose
// clients have gone.
#include <gtest/gtest.h>

#include <boost/format.hpp>
#include <csignal>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gridserver_fixture.h"
#include "server/gio_lock.h"

namespace gridserver_test {
namespace {

// A thread joined however the test ends, so that a failed assertion does not
// end the whole run.
struct JoinedThread {
  template <class F>
  explicit JoinedThread(F f) : thread(std::move(f)) {}
  ~JoinedThread() {
    if (thread.joinable()) thread.join();
  }
  std::thread thread;
};

class ServerLimitsTest : public GridServerTest {
 protected:
  void SetUp() override {
    GridServerTest::SetUp();
    options_.log_file = scratch_.file("server_log.txt");
  }
  std::string LogText() { return FileText(options_.log_file); }
  static std::string Header(std::size_t length) {
    return boost::str(boost::format("%8x") % length);
  }
  std::size_t Count(const std::string& text) {
    const std::string log = LogText();
    std::size_t n = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
  }
  void ExpectPing() {
    Packet reply = Exchange(Ping());
    ASSERT_NE(As<grd_svr::CGSvrPk_PingServer>(reply), nullptr);
    EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrNone);
  }
};

TEST_F(ServerLimitsTest, ARequestThatDoesNotFitWaitsUnreadWhileSmallOnesAreServed) {
  options_.max_pending_bytes = 100000;
  Start();
  RawConnection first(port());
  first.Send(Header(60000) + std::string(100, 'x'));
  RawConnection second(port());
  second.Send(Header(60000));
  ASSERT_TRUE(EventuallyHolds(options_.log_file, "Holding back the request of"));
  EXPECT_NE(LogText().find("60000 bytes) until memory for incomplete requests is free: 60000 of "
                           "100000 bytes taken, 1 requests waiting"),
            std::string::npos)
      << LogText();
  ExpectPing();  // a request that fits is not held back behind one that does not
  // Once the first leaves, the second is read: its garbage gets its reply.
  first.Abort();
  second.Send(std::string(60000, 'x'));
  Packet reply = second.ReadReply();
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->GetActionID(), grd_svr::ErrorReport);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrPackMalformed);
}

TEST_F(ServerLimitsTest, AFrameLongerThanTheWholeBudgetIsRefusedFromItsHeader) {
  options_.max_pending_bytes = 1000;
  Start();
  RawConnection raw(port());
  raw.Send(Header(1001));
  Packet reply = raw.ReadReply();
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrGridTooBig);
  EXPECT_TRUE(EventuallyHolds(options_.log_file, "more than the 1000 that all incomplete requests"));
  RawConnection fits(port());
  fits.Send(Header(1000) + std::string(1000, 'x'));
  reply = fits.ReadReply();
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrPackMalformed);
}

TEST_F(ServerLimitsTest, AtShutdownEveryRequestThatHasBegunGetsAReply) {
  options_.shutdown_grace_ms = 400;
  Start();
  const std::string ping = grd_svr::EncodeFrame(Ping());
  RawConnection whole(port());     // sends its second half within the grace
  RawConnection partial(port());   // never finishes
  RawConnection half_header(port());
  RawConnection silent(port());    // sends nothing at all
  whole.Send(ping.substr(0, 10));
  partial.Send(ping.substr(0, 10));
  half_header.Send(ping.substr(0, 3));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  JoinedThread stop([this] { server_->StopAndWait(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  whole.Send(ping.substr(10));
  Packet served = whole.ReadReply();
  ASSERT_NE(As<grd_svr::CGSvrPk_PingServer>(served), nullptr);
  EXPECT_EQ(served->GetErrorCode(), grd_svr::ErrNone);
  for (RawConnection* refused : {&partial, &half_header}) {
    Packet reply = refused->ReadReply();
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrGridIOException);
  }
  EXPECT_TRUE(silent.ClosedByServer());
  stop.thread.join();
  EXPECT_EQ(Count("the server stopped before its request had arrived whole"), 2u) << LogText();
}

TEST_F(ServerLimitsTest, ASecondSignalEndsTheGraceAtOnce) {
  options_.shutdown_grace_ms = 60000;
  Start();
  RawConnection partial(port());
  partial.Send(grd_svr::EncodeFrame(Ping()).substr(0, 12));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  JoinedThread stop([this] { server_->StopAndWait(); });
  ASSERT_TRUE(EventuallyHolds(options_.log_file, "grid_server stopping"));
  std::raise(SIGTERM);
  Packet reply = partial.ReadReply();
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrGridIOException);
}

TEST_F(ServerLimitsTest, RequestsOfClientsThatHaveGoneAreNotServed) {
  Start();
  const std::string ping = grd_svr::EncodeFrame(Ping());
  RawConnection blocker(port()), reset(port()), closed(port()), stays(port());
  // While the handling thread waits for the lock, the requests queue up
  // behind the first one.
  auto hold = std::make_unique<grd_svr::CriticalGuardA>();
  for (RawConnection* c : {&blocker, &reset, &closed, &stays}) {
    c->Send(ping);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  reset.Abort();
  closed.Close();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  hold.reset();
  for (RawConnection* c : {&blocker, &stays}) {
    Packet reply = c->ReadReply();
    ASSERT_NE(As<grd_svr::CGSvrPk_PingServer>(reply), nullptr);
    EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrNone);
  }
  ASSERT_TRUE(EventuallyHolds(options_.log_file, "(2 such requests in all)")) << LogText();
  EXPECT_EQ(Count("PingServer        | atRequest"), 2u) << LogText();
}

}  // namespace
}  // namespace gridserver_test
