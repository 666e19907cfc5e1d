// One client connection of the grid server: reads one framed request,
// hands it to the request queue, writes the framed reply and closes.
//
// Limits. The frame header must be blank-padded hexadecimal and announce at
// most max_request_bytes, else the connection is answered with an
// ErrorReport (ErrPackMalformed, respectively ErrGridTooBig) and closed
// without reading further. The receive buffer grows with the bytes that
// actually arrive, never to the announced length up front. A connection
// that has not delivered its 8-byte header header_timeout_ms after it was
// accepted, that moves no byte for idle_timeout_ms while reading or
// writing, or that has not delivered its whole request request_timeout_ms
// after it was accepted, is closed without a reply. While its request waits
// for or is being handled no time-out runs: requests queue, none is dropped.
//
// A connection waiting for its header holds its socket, one timer and no
// buffer, so thousands of them cost the server next to nothing.
//
// After the reply the connection shuts down its sending side and reads
// (and drops) what the client may still send until the client closes, for
// at most a second: closing a socket with unread bytes would reset the
// connection and could destroy the reply before the client has read it
// (a client that sent more than one frame, or garbage).
//
// Ownership: held by shared_ptr; the connection manager keeps it while it
// is open, and every pending operation's handler holds a reference too.
// The manager and the queue must outlive it.
// Thread safety: every member runs on the io_context's one thread; only the
// stop flag is read from the queue's thread.
#ifndef MIRL_GRIDSERVER_CONNECTION_H_
#define MIRL_GRIDSERVER_CONNECTION_H_

#include <array>
#include <atomic>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/system/error_code.hpp>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "protocol/framing.h"
#include "request_handler.h"

namespace grid_server {

class ConnectionManager;
class RequestQueue;

struct ConnectionLimits {
  int header_timeout_ms = 2000;
  int idle_timeout_ms = 10000;
  int request_timeout_ms = 120000;
  std::size_t max_request_bytes = grd_svr::kMaxFrameLength;
};

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(boost::asio::ip::tcp::socket socket, ConnectionManager& manager, RequestQueue& queue,
             const ConnectionLimits& limits);
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Starts reading the request.
  void Start();
  // Closes the socket and drops what is pending; idempotent. Called by the
  // manager only.
  void Stop();
  // Not busy with a request: still reading one (nothing of it handled
  // yet), or done with it and waiting for the client to close.
  bool Idle() const { return m_State == State::kReceiving || m_State == State::kDraining; }

  const std::string& peer() const { return m_Peer; }

 private:
  enum class State { kReceiving, kHandling, kSending, kDraining, kClosed };
  using Clock = std::chrono::steady_clock;

  void ReadHeader();
  void OnHeader(const boost::system::error_code& error);
  void ReadPayload();
  void OnPayload(const boost::system::error_code& error, std::size_t bytes);
  void Refuse(std::int32_t code, const std::string& reason);
  void Handle();
  void Send(HandlerReply reply);
  void WriteSome();
  void OnWrite(const boost::system::error_code& error, std::size_t bytes);
  void Drain();
  void Close();
  void CloseWithNote(const std::string& why);

  // Restarts the time-out: idle_timeout_ms from now, but never past the
  // request deadline while receiving, nor past the header deadline before
  // the header is in.
  void ArmTimer();
  void OnTimer(const boost::system::error_code& error);

  boost::asio::ip::tcp::socket m_Socket;
  boost::asio::steady_timer m_Timer;
  ConnectionManager& m_Manager;
  RequestQueue& m_Queue;
  ConnectionLimits m_Limits;
  std::string m_Peer;

  State m_State = State::kReceiving;
  std::atomic<bool> m_Stopped{false};
  Clock::time_point m_RequestDeadline;
  Clock::time_point m_HeaderDeadline;
  bool m_HeaderRead = false;

  char m_Header[grd_svr::kFrameHeaderLength] = {};
  std::vector<char> m_Payload;
  std::size_t m_Expected = 0;
  std::size_t m_Received = 0;

  HandlerReply m_Reply;
  std::vector<grd_svr::CPayloadPieces::Piece> m_Pieces;
  std::size_t m_Sent = 0;

  std::vector<char> m_Discard;
  std::size_t m_Drained = 0;
};

}  // namespace grid_server

#endif  // MIRL_GRIDSERVER_CONNECTION_H_
