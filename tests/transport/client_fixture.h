// Verbs for the client tests: a client with short pauses that logs to a
// file of its own, a ping to send, the log as text, and the lines the
// client is expected to write, spelled from the system's own messages.
#ifndef MIRL_TESTS_TRANSPORT_CLIENT_FIXTURE_H_
#define MIRL_TESTS_TRANSPORT_CLIENT_FIXTURE_H_

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <boost/asio/error.hpp>
#include <boost/make_shared.hpp>
#include <boost/system/error_code.hpp>
#include <gtest/gtest.h>

#include "protocol/packets.h"
#include "support/temp_dir.h"
#include "test_server.h"
#include "transport/tcp_client.h"

namespace mirl_test {

// The pauses a test can afford; attempts stay at the shipped 25.
inline grd_svr::TransportTiming FastTiming() {
  grd_svr::TransportTiming timing;
  timing.short_pause_ms = 1;
  timing.long_pause_ms = 2;
  timing.encode_retry_pause_ms = 1;
  timing.connect_timeout_ms = 5000;
  timing.silence_timeout_ms = 5000;
  return timing;
}

// The system's text for an error as the client logs it (strerror's on
// POSIX, FormatMessage's on Windows).
inline std::string SystemMessage(boost::asio::error::basic_errors error) {
  return boost::system::error_code(error).message();
}

class ClientTest : public ::testing::Test {
 protected:
  ClientTest() : log_path_(dir_.file("session_log.txt")) {
    log_.open(log_path_, std::ios::out | std::ios::app);
  }

  std::unique_ptr<grd_svr::CGSvrClient> MakeClient(unsigned short port,
                                                   const std::string& host = "127.0.0.1") {
    auto client = std::make_unique<grd_svr::CGSvrClient>(host, std::to_string(port), &log_);
    client->SetTiming(timing_);
    return client;
  }

  static boost::shared_ptr<grd_svr::CGSvrPacket> Ping() {
    return boost::make_shared<grd_svr::CGSvrPk_PingServer>(grd_svr::atRequest);
  }

  std::string LogText() const {
    std::ifstream in(log_path_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // The entry that closes a logged exchange, with the times in ms.
  static std::string WaitEntry(int long_waits, int short_waits, const std::string& total_seconds,
                               const std::string& connection_seconds) {
    return "Communication wait times: LN[" + std::to_string(long_waits) + "] SN[" +
           std::to_string(short_waits) + "] TCL[" + total_seconds + ".3 sec] TCO[" +
           connection_seconds + ".3 sec]\n\n";
  }

  static std::string Repeat(const std::string& line, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += line;
    return text;
  }

  TempDir dir_;
  std::string log_path_;
  std::ofstream log_;
  grd_svr::TransportTiming timing_ = FastTiming();
};

// A server that answers every request with the request itself turned into
// a response carrying the given error code.
inline TestServer::Behaviour Answer(std::int32_t error_code = grd_svr::ErrNone) {
  return [error_code](tcp::socket& socket) {
    boost::shared_ptr<grd_svr::CGSvrPacket> packet = DecodeRequest(ReadFrame(socket));
    if (!packet) return;
    packet->SetActionType(grd_svr::atResponse);
    packet->SetErrorCode(error_code);
    Send(socket, grd_svr::EncodeFrame(packet));
  };
}

}  // namespace mirl_test

#endif  // MIRL_TESTS_TRANSPORT_CLIENT_FIXTURE_H_
