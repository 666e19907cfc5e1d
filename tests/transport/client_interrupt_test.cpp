// A host's interrupt check ends an exchange wherever it waits: on a server
// that stays silent, in the pause between attempts, before the next
// attempt. Without a check the client keeps the designed waits, and a
// client that was interrupted serves the next exchange as usual.
#include <string>

#include <gtest/gtest.h>

#include "client_fixture.h"
#include "transport/exchange_interrupted.h"
#include "transport/host_waits.h"

namespace mirl_test {
namespace {

// The host's check: answers "interrupted" from its n-th question on.
// Function pointers carry no state, so the count is the file's own.
int g_questions = 0;
int g_interrupt_from = 0;
int CountingCheck() { return ++g_questions >= g_interrupt_from ? 1 : 0; }

class InterruptTest : public ClientTest {
 protected:
  InterruptTest() {
    g_questions = 0;
    g_interrupt_from = 1 << 30;
    timing_.interrupted = &CountingCheck;
    timing_.interrupt_poll_ms = 5;
  }
  ~InterruptTest() override { grd_svr::ResetHostWaits(); }
};

TEST_F(InterruptTest, SilentServerIsLeftWhenTheHostInterrupts) {
  TestServer server([](tcp::socket& socket) {
    ReadFrame(socket);
    WaitForClose(socket);
  });
  server.Listen();
  // Long enough that the interrupt, not the watch, ends the wait.
  timing_.silence_timeout_ms = 3000;
  g_interrupt_from = 4;  // the first asks before the attempt, then three polls
  auto client = MakeClient(server.port());

  EXPECT_THROW(client->Exchange(Ping()), grd_svr::ExchangeInterrupted);
  EXPECT_EQ(g_questions, 4);
  EXPECT_EQ(server.connections(), 1);
  // Cut inside the attempt: not even the short pause after it was made.
  EXPECT_EQ(client->TotalWait(), 0);
  // Nothing of the cut exchange is logged as a failed attempt.
  EXPECT_EQ(LogText(), "");
}

TEST_F(InterruptTest, PauseBetweenAttemptsIsCutShort) {
  TestServer refusing(Answer());  // bound, never listening: refuses
  int resolutions = 0;
  timing_.long_pause_ms = 3000;
  auto client = MakeClient(refusing.port());
  client->SetResolver([&](const std::string&, const std::string&) {
    ++resolutions;
    return grd_svr::CGSvrClient::Endpoints{refusing.endpoint()};
  });
  // Asked before the attempt and (when the refusal is slow to arrive) during
  // it; the third question falls into the pause at the latest.
  g_interrupt_from = 3;

  EXPECT_THROW(client->Exchange(Ping()), grd_svr::ExchangeInterrupted);
  EXPECT_EQ(resolutions, 1);
  // Cut after a poll's worth or two of its three seconds.
  EXPECT_LT(client->TotalWait(), 1000);
}

TEST_F(InterruptTest, PendingInterruptStopsBeforeAnyConnection) {
  TestServer server(Answer());
  server.Listen();
  g_interrupt_from = 1;
  auto client = MakeClient(server.port());

  EXPECT_THROW(client->Exchange(Ping()), grd_svr::ExchangeInterrupted);
  EXPECT_EQ(server.connections(), 0);

  // The same client, no longer interrupted, reaches the server at once.
  g_interrupt_from = 1 << 30;
  EXPECT_TRUE(client->Exchange(Ping()));
  EXPECT_EQ(server.connections(), 1);
}

TEST_F(InterruptTest, AnsweringServerIsNotCutByACheckThatSaysNothing) {
  TestServer server(Answer());
  server.Listen();
  auto client = MakeClient(server.port());
  EXPECT_TRUE(client->Exchange(Ping()));
  EXPECT_GE(g_questions, 1);
  EXPECT_EQ(LogText(), "");
}

TEST(HostWaits, MadeClientsTakeThemAndResetRestoresTheDesignedOnes) {
  const grd_svr::TransportTiming designed;
  grd_svr::SetHostWaits(2, 250, 750, &CountingCheck);
  auto made = grd_svr::make_tcp_client("127.0.0.1", 1, nullptr);
  auto* client = dynamic_cast<grd_svr::CGSvrClient*>(made.get());
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(client->Timing().max_attempts, 2);
  EXPECT_EQ(client->Timing().long_pause_ms, 250);
  EXPECT_EQ(client->Timing().connect_timeout_ms, 750);
  EXPECT_EQ(client->Timing().interrupted, &CountingCheck);
  // What the host does not choose stays as shipped.
  EXPECT_EQ(client->Timing().short_pause_ms, designed.short_pause_ms);
  EXPECT_EQ(client->Timing().silence_timeout_ms, designed.silence_timeout_ms);

  grd_svr::ResetHostWaits();
  auto after = grd_svr::make_tcp_client("127.0.0.1", 1, nullptr);
  const grd_svr::TransportTiming& timing =
      dynamic_cast<grd_svr::CGSvrClient*>(after.get())->Timing();
  EXPECT_EQ(timing.max_attempts, 25);
  EXPECT_EQ(timing.long_pause_ms, 10000);
  EXPECT_EQ(timing.connect_timeout_ms, designed.connect_timeout_ms);
  EXPECT_EQ(timing.interrupted, nullptr);
}

}  // namespace
}  // namespace mirl_test
