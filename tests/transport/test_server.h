// Grid servers for the transport tests: an acceptor on 127.0.0.1 with an
// ephemeral port, serving one connection at a time on its own thread with
// whatever the test's behaviour does to the socket. A server that is bound
// but not yet listening refuses connections, which stands for a server
// that has not started; Listen() starts it.
#ifndef MIRL_TESTS_TRANSPORT_TEST_SERVER_H_
#define MIRL_TESTS_TRANSPORT_TEST_SERVER_H_

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <boost/shared_ptr.hpp>

#include "protocol/framing.h"
#include "protocol/packet.h"

namespace mirl_test {

using boost::asio::ip::tcp;

class TestServer {
 public:
  using Behaviour = std::function<void(tcp::socket&)>;

  // Bound at once, listening only after Listen().
  explicit TestServer(Behaviour behaviour) : behaviour_(std::move(behaviour)), acceptor_(io_) {
    // Asio's endpoint constructor would listen at once.
    acceptor_.open(tcp::v4());
    acceptor_.bind(tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0));
  }

  ~TestServer() {
    if (!thread_.joinable()) return;
    stopping_ = true;
    // The accept loop blocks; one last connection wakes it up.
    boost::system::error_code ignored;
    tcp::socket wake(io_);
    wake.connect(endpoint(), ignored);
    thread_.join();
  }

  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  void Listen() {
    acceptor_.listen();
    thread_ = std::thread([this] { Serve(); });
  }

  tcp::endpoint endpoint() const {
    return tcp::endpoint(boost::asio::ip::address_v4::loopback(), port());
  }
  unsigned short port() const { return acceptor_.local_endpoint().port(); }
  int connections() const { return connections_; }

 private:
  void Serve() {
    for (;;) {
      tcp::socket socket(io_);
      boost::system::error_code error;
      acceptor_.accept(socket, error);
      if (error || stopping_) return;
      ++connections_;
      behaviour_(socket);
    }
  }

  Behaviour behaviour_;
  boost::asio::io_context io_;
  tcp::acceptor acceptor_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
};

// The request as it arrived: the header text and the payload bytes.
struct ReceivedFrame {
  std::string header;
  std::string payload;
  bool complete = false;
};

// Reads one frame, parsing the header independently of the client's code.
inline ReceivedFrame ReadFrame(tcp::socket& socket) {
  ReceivedFrame frame;
  boost::system::error_code error;
  frame.header.resize(grd_svr::kFrameHeaderLength);
  boost::asio::read(socket, boost::asio::buffer(&frame.header[0], frame.header.size()), error);
  if (error) return frame;
  std::size_t used = 0;
  unsigned long length = 0;
  try {
    length = std::stoul(frame.header, &used, 16);
  } catch (...) {
    return frame;
  }
  if (used != frame.header.size()) return frame;
  frame.payload.resize(length);
  boost::asio::read(socket, boost::asio::buffer(&frame.payload[0], length), error);
  frame.complete = !error;
  return frame;
}

inline boost::shared_ptr<grd_svr::CGSvrPacket> DecodeRequest(const ReceivedFrame& frame) {
  boost::shared_ptr<grd_svr::CGSvrPacket> packet;
  if (frame.complete) grd_svr::DecodePacket(frame.payload.data(), frame.payload.size(), packet);
  return packet;
}

inline void Send(tcp::socket& socket, const std::string& bytes) {
  boost::system::error_code ignored;
  boost::asio::write(socket, boost::asio::buffer(bytes), ignored);
}

// Blocks until the peer closes its end.
inline void WaitForClose(tcp::socket& socket) {
  char byte;
  boost::system::error_code error;
  while (!error) boost::asio::read(socket, boost::asio::buffer(&byte, 1), error);
}

}  // namespace mirl_test

#endif  // MIRL_TESTS_TRANSPORT_TEST_SERVER_H_
