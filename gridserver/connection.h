// One client connection of the grid server: reads one framed request,
// hands it to the request queue, writes the framed reply and closes.
//
// Limits. The frame header must be blank-padded hexadecimal and announce at
// most max_request_bytes, and no more than the whole budget for incomplete
// requests (pending_budget.h), else the connection is answered with an
// ErrorReport (ErrPackMalformed, respectively ErrGridTooBig) and closed
// without reading further. Before it reads the payload the connection takes
// the announced length from the budget; while that does not fit it reads
// nothing and waits. The receive buffer (request_buffer.h) costs resident
// memory only as bytes arrive. A connection that has not
// delivered its 8-byte header header_timeout_ms after it was accepted, that
// moves no byte for idle_timeout_ms while reading (not while it waits for
// the budget) or writing, or that has not delivered its whole request
// request_timeout_ms after it was accepted, is closed without a reply.
// While its request waits for or is being handled no time-out runs:
// requests queue, none is dropped, unless the client has gone: a client
// that resets or closes its connection while its request is queued is not
// served, and neither is a large reply written to a client that has gone.
//
// A connection waiting for its header holds its socket, one timer and no
// buffer, so thousands of them cost the server next to nothing.
//
// After the reply the connection shuts down its sending side and reads
// (and drops) what the client may still send until the client closes, for
// at most a second of silence: closing a socket with unread bytes would
// reset the connection and could destroy the reply before the client has
// read it (a client that sent more than one frame, or garbage).
//
// When the server stops, Expire() answers a request that has partly arrived
// with ErrGridIOException (the client learns that it was not served rather
// than retrying a server that is gone) and closes a connection that has
// sent nothing; a request that has arrived whole is answered as ever.
//
// Ownership: held by shared_ptr; the connection manager keeps it while it
// is open, and every pending operation's handler holds a reference too.
// The manager, the queue and the budget must outlive it.
// Thread safety: every member runs on the io_context's one thread; only the
// stop and gone flags are read from the queue's thread.
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
#include "pending_budget.h"
#include "request_buffer.h"
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
             PendingBudget& budget, const ConnectionLimits& limits);
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Starts reading the request.
  void Start();
  // Closes the socket and drops what is pending; idempotent. Called by the
  // manager only.
  void Stop();
  // The server stops reading requests: one partly received is answered
  // with ErrGridIOException, a connection that has sent nothing is closed;
  // anything further along goes on. Called by the manager only.
  void Expire();

  const std::string& peer() const { return m_Peer; }

 private:
  enum class State { kReceiving, kHandling, kSending, kDraining, kClosed };
  using Clock = std::chrono::steady_clock;

  void ReadHeader();
  void OnHeader();
  // Takes the payload's length from the budget, or waits for it.
  void Reserve();
  void StartPayload();
  void GiveBack();
  void ReadPayload();
  void OnPayload(const boost::system::error_code& error, std::size_t bytes);
  void Refuse(std::int32_t code, const std::string& reason);
  void Handle();
  // Notes, while the request is queued, when the client resets or closes.
  void WatchPeer();
  // The client has reset or closed the connection (checked now, without
  // waiting).
  bool PeerGone();
  void DropForGonePeer();
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
  std::atomic<bool> m_PeerGone{false};
  Clock::time_point m_RequestDeadline;
  Clock::time_point m_HeaderDeadline;
  bool m_HeaderRead = false;

  char m_Header[grd_svr::kFrameHeaderLength] = {};
  std::size_t m_HeaderBytes = 0;
  PendingBudget& m_Budget;
  std::size_t m_Reserved = 0;
  PendingBudget::Ticket m_Waiting = 0;
  RequestBuffer m_Payload;
  std::size_t m_Expected = 0;
  std::size_t m_Received = 0;

  HandlerReply m_Reply;
  std::vector<grd_svr::CPayloadPieces::Piece> m_Pieces;
  std::size_t m_Sent = 0;

  std::vector<char> m_Discard;
  std::size_t m_Drained = 0;
  std::size_t m_DrainAllowance = 0;
};

}  // namespace grid_server

#endif  // MIRL_GRIDSERVER_CONNECTION_H_
