// Verbs for the grid server's tests: a GridServer run in this process on an
// ephemeral port over a fresh root, a raw connection that sends any bytes
// and reads a reply frame with a bound on every wait, the library's own TCP
// client with short pauses, and requests of the kinds the exports send.
#ifndef MIRL_TESTS_GRIDSERVER_GRIDSERVER_FIXTURE_H_
#define MIRL_TESTS_GRIDSERVER_GRIDSERVER_FIXTURE_H_

#include <gtest/gtest.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "grid_server.h"
#include "protocol/framing.h"
#include "protocol/packets.h"
#include "server/gio_lock.h"
#include "server/gio_state.h"
#include "server/layer_cache.h"
#include "support/temp_dir.h"
#include "transport/tcp_client.h"

namespace gridserver_test {

using Packet = boost::shared_ptr<grd_svr::CGSvrPacket>;
using boost::asio::ip::tcp;

// Every bounded wait of a test: long enough never to be hit by a server
// that works, short enough that a broken one fails instead of hanging.
constexpr std::chrono::seconds kPatience(20);

// The in-process server's window, cache and workspace are process-wide and
// outlive a server; each test starts from a fresh process's state.
inline void ResetProcessState() {
  grd_svr::CriticalGuardA guard;
  grd_svr::ClearCache();
  grd_svr::CacheState().memory_mode = 0;
  grd_svr::CacheState().capacity = 0;
  grd_svr::GIOState& state = grd_svr::GioState();
  state.window = grd_svr::AccessWindow();
  state.workspace.clear();
  state.log = nullptr;
}

inline grid_server::ServerOptions TestOptions(const std::string& root) {
  grid_server::ServerOptions options;
  options.root = root;
  options.port = 0;
  options.gridio_dir = MIRL_BINARY_DIR "/lib";
  options.idle_timeout_ms = 5000;
  options.request_timeout_ms = 20000;
  options.shutdown_grace_ms = 2000;
  return options;
}

// A GridServer serving on its own thread until the object goes.
class RunningServer {
 public:
  explicit RunningServer(const grid_server::ServerOptions& options)
      : server_(new grid_server::GridServer(options)) {
    thread_ = std::thread([this] { reason_ = server_->Run(); });
  }
  ~RunningServer() { StopAndWait(); }

  unsigned short port() const { return server_->port(); }
  const std::string& root() const { return server_->root(); }

  grid_server::StopReason StopAndWait() {
    if (thread_.joinable()) {
      server_->Stop();
      thread_.join();
    }
    return reason_;
  }
  // Waits for Run() to return on its own (retire); false after kPatience.
  bool WaitForExit() {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    thread_.join();
    return true;
  }
  grid_server::StopReason reason() const { return reason_; }

 private:
  bool done() const { return reason_ != kRunning; }
  static constexpr grid_server::StopReason kRunning = static_cast<grid_server::StopReason>(-1);

  std::unique_ptr<grid_server::GridServer> server_;
  std::thread thread_;
  std::atomic<grid_server::StopReason> reason_{kRunning};
};

// One raw TCP connection to the server; every wait ends after kPatience.
// It may come from another loopback address (127.0.0.2, ...) and go to
// another server address (::1); only loopback addresses are ever used.
class RawConnection {
 public:
  explicit RawConnection(unsigned short port, const std::string& from = "",
                         const std::string& to = "127.0.0.1")
      : socket_(io_) {
    const auto server = boost::asio::ip::make_address(to);
    if (!from.empty()) {
      socket_.open(server.is_v4() ? tcp::v4() : tcp::v6());
      socket_.bind(tcp::endpoint(boost::asio::ip::make_address(from), 0));
    }
    socket_.connect(tcp::endpoint(server, port));
  }

  void Send(const std::string& bytes) { boost::asio::write(socket_, boost::asio::buffer(bytes)); }

  // Reads one reply frame and decodes it; empty when the connection closed
  // (or broke) first, or the reply does not decode.
  Packet ReadReply() {
    char header[grd_svr::kFrameHeaderLength];
    if (!ReadExactly(header, sizeof(header))) return Packet();
    std::size_t length = 0;
    if (grd_svr::ParseFrameHeader(header, length)) return Packet();
    std::vector<char> payload(length);
    if (!ReadExactly(payload.data(), length)) return Packet();
    Packet packet;
    grd_svr::DecodePacket(payload.data(), payload.size(), packet);
    return packet;
  }

  // True when the server closes the connection (end of file or reset)
  // without sending anything more.
  bool ClosedByServer() {
    char byte;
    boost::system::error_code error;
    std::size_t got = 0;
    bool finished = false;
    socket_.async_read_some(boost::asio::buffer(&byte, 1),
                            [&](const boost::system::error_code& e, std::size_t n) {
                              error = e;
                              got = n;
                              finished = true;
                            });
    Run();
    return finished && got == 0 && error;
  }

  // Closes the connection politely (the server sees the end of the stream).
  void Close() { socket_.close(); }

  // Resets the connection instead of closing it politely.
  void Abort() {
    socket_.set_option(boost::asio::socket_base::linger(true, 0));
    socket_.close();
  }

 private:
  bool ReadExactly(char* data, std::size_t size) {
    boost::system::error_code error;
    bool finished = false;
    boost::asio::async_read(socket_, boost::asio::buffer(data, size),
                            [&](const boost::system::error_code& e, std::size_t) {
                              error = e;
                              finished = true;
                            });
    Run();
    return finished && !error;
  }
  void Run() {
    io_.restart();
    io_.run_for(kPatience);
    if (!io_.stopped()) {
      boost::system::error_code ignored;
      socket_.cancel(ignored);
      io_.restart();
      io_.run();
    }
  }

  boost::asio::io_context io_;
  tcp::socket socket_;
};

// The library's TCP client with the test's short pauses and few attempts.
inline std::unique_ptr<grd_svr::CGSvrClient> MakeClient(unsigned short port, std::ofstream* log) {
  auto client = std::make_unique<grd_svr::CGSvrClient>("127.0.0.1", std::to_string(port), log);
  grd_svr::TransportTiming timing;
  timing.max_attempts = 3;
  timing.short_pause_ms = 0;
  timing.long_pause_ms = 5;
  timing.connect_timeout_ms = 20000;
  timing.silence_timeout_ms = 20000;
  client->SetTiming(timing);
  return client;
}

inline Packet Ping() { return boost::make_shared<grd_svr::CGSvrPk_PingServer>(grd_svr::atRequest); }

inline Packet Retire() {
  return boost::make_shared<grd_svr::CGSvrPk_GridServerRetire>(grd_svr::atRequest);
}

inline boost::shared_ptr<grd_svr::CGSvrPk_AccWndMake> MakeWindow(int rows, int cols) {
  auto packet = boost::make_shared<grd_svr::CGSvrPk_AccWndMake>(grd_svr::atRequest);
  packet->m_RowCount = rows;
  packet->m_ColCount = cols;
  packet->m_XLowerLeft = 0.0;
  packet->m_YLowerLeft = 0.0;
  packet->m_CellSize = 1.0;
  return packet;
}

inline boost::shared_ptr<grd_svr::CGSvrPk_GridOp> LoadGrid(const std::string& name) {
  auto packet = boost::make_shared<grd_svr::CGSvrPk_GridOp>(grd_svr::atRequest, grd_svr::GridLoad);
  packet->m_GridName = name;
  packet->m_MissingINT = -9999;
  packet->m_MissingFLT = -9999.0f;
  return packet;
}

inline boost::shared_ptr<grd_svr::CGSvrPk_GridOp> WriteGrid(const std::string& name, int rows,
                                                            int cols, std::vector<float> cells) {
  auto packet = boost::make_shared<grd_svr::CGSvrPk_GridOp>(grd_svr::atRequest, grd_svr::GridWrite);
  packet->m_GridName = name;
  packet->m_RowCount = rows;
  packet->m_ColCount = cols;
  packet->m_CellType = 2;
  packet->m_MissingINT = -9999;
  packet->m_MissingFLT = -9999.0f;
  packet->m_GrdDataFLT = std::move(cells);
  return packet;
}

inline boost::shared_ptr<grd_svr::CGSvrPk_GridDescribe> Describe(const std::string& name) {
  auto packet = boost::make_shared<grd_svr::CGSvrPk_GridDescribe>(grd_svr::atRequest);
  packet->m_GridName = name;
  return packet;
}

inline boost::shared_ptr<grd_svr::CGSvrPk_GridList> List(const std::string& root) {
  auto packet = boost::make_shared<grd_svr::CGSvrPk_GridList>(grd_svr::atRequest);
  packet->m_Root = root;
  return packet;
}

// The reply as the given class, or null.
template <class P>
P* As(const Packet& reply) {
  return dynamic_cast<P*>(reply.get());
}

inline std::string FileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// True once the file holds text; lines noted by the server's handling
// thread may land a moment after the client saw their effect.
inline bool EventuallyHolds(const std::string& path, const std::string& text) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (FileText(path).find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// A fixture with a running server over a fresh root; options_ may be
// changed in a test before Start().
class GridServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessState();
    options_ = TestOptions(root_.str());
    client_log_.open(scratch_.file("client_log.txt"), std::ios::out | std::ios::app);
  }
  void TearDown() override {
    server_.reset();
    ResetProcessState();
  }

  void Start() { server_.reset(new RunningServer(options_)); }
  unsigned short port() const { return server_->port(); }

  // One exchange through the library's TCP client.
  Packet Exchange(const Packet& request) {
    auto client = MakeClient(port(), &client_log_);
    return client->Exchange(request);
  }
  std::int32_t ExchangeCode(const Packet& request) {
    Packet reply = Exchange(request);
    return reply ? reply->GetErrorCode() : 0;
  }

  mirl_test::TempDir root_;
  mirl_test::TempDir scratch_;
  grid_server::ServerOptions options_;
  std::unique_ptr<RunningServer> server_;
  std::ofstream client_log_;
};

}  // namespace gridserver_test

#endif  // MIRL_TESTS_GRIDSERVER_GRIDSERVER_FIXTURE_H_
