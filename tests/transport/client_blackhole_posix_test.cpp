// An address that never answers: a listening socket whose accept queue the
// test fills through the POSIX socket calls (Winsock has no such backlog
// behaviour to rely on).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "client_fixture.h"

namespace mirl_test {
namespace {

// A listening socket whose accept queue is full: the system neither accepts
// nor refuses further connections, so a connect to it hangs.
class Blackhole {
 public:
  Blackhole() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener_, 0) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    for (int i = 0; i < 16 && !full_; ++i) {
      const int filler = ::socket(AF_INET, SOCK_STREAM, 0);
      ::fcntl(filler, F_SETFL, O_NONBLOCK);
      fillers_.push_back(filler);
      if (::connect(filler, reinterpret_cast<sockaddr*>(&address), size) == 0) continue;
      pollfd wait{filler, POLLOUT, 0};
      full_ = ::poll(&wait, 1, 300) == 0;
    }
  }
  ~Blackhole() {
    for (int filler : fillers_) ::close(filler);
    ::close(listener_);
  }
  bool full() const { return full_; }
  tcp::endpoint endpoint() const {
    return tcp::endpoint(boost::asio::ip::address_v4::loopback(), port_);
  }

 private:
  int listener_ = -1;
  unsigned short port_ = 0;
  std::vector<int> fillers_;
  bool full_ = false;
};

TEST_F(ClientTest, AddressThatNeverAnswersTimesOutTheConnect) {
  Blackhole blackhole;
  ASSERT_TRUE(blackhole.full());
  timing_.connect_timeout_ms = 50;
  timing_.max_attempts = 3;
  auto client = MakeClient(blackhole.endpoint().port());

  EXPECT_FALSE(client->Exchange(Ping()));

  const std::string line = "Connect error: " + SystemMessage(boost::asio::error::timed_out) + "\n";
  EXPECT_EQ(LogText(), Repeat(line, 3) + WaitEntry(2, 3, "0.007000", "0.000000"));
}

TEST_F(ClientTest, TimedOutAddressGivesWayToTheNextInTheSameAttempt) {
  Blackhole blackhole;
  ASSERT_TRUE(blackhole.full());
  TestServer live(Answer());
  live.Listen();
  timing_.connect_timeout_ms = 50;
  auto client = MakeClient(live.port());
  client->SetResolver([&](const std::string&, const std::string&) {
    return grd_svr::CGSvrClient::Endpoints{blackhole.endpoint(), live.endpoint()};
  });

  EXPECT_TRUE(client->Exchange(Ping()));
  EXPECT_EQ(live.connections(), 1);
  EXPECT_EQ(client->TotalWait(), 1);
  EXPECT_EQ(LogText(), "");
}

}  // namespace
}  // namespace mirl_test
