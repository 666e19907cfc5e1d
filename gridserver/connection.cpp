#include "connection.h"

#include <algorithm>
#include <array>
#include <boost/asio/error.hpp>
#include <boost/asio/read.hpp>
#include <boost/format.hpp>
#include <utility>

#include "connection_manager.h"
#include "request_queue.h"

namespace grid_server {
namespace {

// The longest silence while waiting for a client to close after its reply,
// and the most bytes read from it meanwhile (more when the server stopped
// before the client had sent its whole request: the rest must be read so
// that the client gets to read the reply).
constexpr int kDrainTimeoutMs = 1000;
constexpr std::size_t kMaxDrainBytes = std::size_t{1} << 20;
constexpr std::size_t kDiscardChunk = 64 << 10;

// Replies at least this long are not written to a client that has gone.
constexpr std::size_t kLargeReply = 64 << 10;

}  // namespace

Connection::Connection(boost::asio::ip::tcp::socket socket, ConnectionManager& manager,
                       RequestQueue& queue, PendingBudget& budget, const ConnectionLimits& limits)
    : m_Socket(std::move(socket)),
      m_Timer(m_Socket.get_executor()),
      m_Manager(manager),
      m_Queue(queue),
      m_Limits(limits),
      m_Budget(budget) {
  boost::system::error_code error;
  const auto endpoint = m_Socket.remote_endpoint(error);
  m_Peer = error ? std::string("an unknown peer")
                 : endpoint.address().to_string() + ":" + std::to_string(endpoint.port());
}

void Connection::Start() {
  const Clock::time_point now = Clock::now();
  m_RequestDeadline = now + std::chrono::milliseconds(m_Limits.request_timeout_ms);
  m_HeaderDeadline = now + std::chrono::milliseconds(m_Limits.header_timeout_ms);
  ArmTimer();
  ReadHeader();
}

void Connection::Stop() {
  if (m_Stopped.exchange(true)) return;
  m_State = State::kClosed;
  GiveBack();
  boost::system::error_code ignored;
  m_Socket.shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
  m_Socket.close(ignored);
  m_Timer.cancel();
}

void Connection::Expire() {
  if (m_Stopped || m_State != State::kReceiving) return;
  if (m_HeaderBytes == 0) {
    Close();
    return;
  }
  // What the client has still to send is read and dropped after the reply.
  // The read under way stops first; the buffer it reads into stays until
  // the connection goes, as a cancelled read may still be writing to it.
  boost::system::error_code ignored;
  m_Socket.cancel(ignored);
  m_DrainAllowance = kMaxDrainBytes + (m_Expected - std::min(m_Expected, m_Received));
  GiveBack();
  Refuse(grd_svr::ErrGridIOException,
         boost::str(boost::format("the server stopped before its request had arrived whole "
                                  "(%d of %d bytes)") %
                    (m_HeaderBytes + m_Received) % (grd_svr::kFrameHeaderLength + m_Expected)));
}

void Connection::ReadHeader() {
  auto self = shared_from_this();
  m_Socket.async_read_some(
      boost::asio::buffer(m_Header + m_HeaderBytes, sizeof m_Header - m_HeaderBytes),
      [self](const boost::system::error_code& error, std::size_t bytes) {
        if (self->m_Stopped || self->m_State != State::kReceiving) return;
        self->m_HeaderBytes += bytes;
        if (self->m_HeaderBytes == sizeof self->m_Header) {
          self->OnHeader();
          return;
        }
        if (error) {
          if (self->m_HeaderBytes > 0)
            self->CloseWithNote("it closed before its request was complete");
          else
            self->Close();
          return;
        }
        self->ReadHeader();
      });
}

void Connection::OnHeader() {
  m_HeaderRead = true;
  std::size_t length = 0;
  if (grd_svr::ParseFrameHeader(m_Header, length)) {
    if (grd_svr::FrameHeaderTooLong(m_Header))
      Refuse(grd_svr::ErrGridTooBig, "its frame announces more than the protocol's largest frame");
    else
      Refuse(grd_svr::ErrPackMalformed, "its frame header is not blank-padded hexadecimal");
    return;
  }
  if (length > m_Limits.max_request_bytes) {
    Refuse(grd_svr::ErrGridTooBig,
           boost::str(boost::format("its frame announces %d bytes, more than the %d allowed") %
                      length % m_Limits.max_request_bytes));
    return;
  }
  if (length > m_Budget.limit()) {
    Refuse(grd_svr::ErrGridTooBig,
           boost::str(boost::format("its frame announces %d bytes, more than the %d that all "
                                    "incomplete requests together may hold") %
                      length % m_Budget.limit()));
    return;
  }
  m_Expected = length;
  if (m_Expected == 0) {
    Handle();
    return;
  }
  Reserve();
}

void Connection::Reserve() {
  std::weak_ptr<Connection> weak = shared_from_this();
  m_Waiting = m_Budget.Take(m_Expected, [weak] {
    auto self = weak.lock();
    if (!self || self->m_Stopped) return;
    self->m_Waiting = 0;
    self->m_Reserved = self->m_Expected;
    self->StartPayload();
  });
  if (m_Waiting == 0) {
    m_Reserved = m_Expected;
    StartPayload();
    return;
  }
  if (m_Budget.NoteDue(Clock::now()))
    m_Queue.Note(boost::str(
        boost::format("Holding back the request of %s (%d bytes) until memory for incomplete "
                      "requests is free: %d of %d bytes taken, %d requests waiting (%d held "
                      "back in all)") %
        m_Peer % m_Expected % m_Budget.taken() % m_Budget.limit() % m_Budget.waiting() %
        m_Budget.held()));
  // Only the request's own deadline runs while it waits: the silence is
  // the server's, not the client's.
  ArmTimer();
}

void Connection::StartPayload() {
  try {
    m_Payload = RequestBuffer(m_Expected);
  } catch (const std::bad_alloc&) {
    GiveBack();
    Refuse(grd_svr::ErrGridMemAlloc, "no memory could be mapped for its request");
    return;
  }
  ArmTimer();
  ReadPayload();
}

void Connection::GiveBack() {
  if (m_Waiting != 0) {
    m_Budget.Cancel(m_Waiting);
    m_Waiting = 0;
  }
  if (m_Reserved == 0) return;
  const std::size_t bytes = m_Reserved;
  m_Reserved = 0;
  m_Budget.Give(bytes);
}

void Connection::ReadPayload() {
  auto self = shared_from_this();
  char* data = m_Payload.data();
  m_Socket.async_read_some(boost::asio::buffer(data + m_Received, m_Expected - m_Received),
                           [self](const boost::system::error_code& error, std::size_t bytes) {
                             self->OnPayload(error, bytes);
                           });
}

void Connection::OnPayload(const boost::system::error_code& error, std::size_t bytes) {
  if (m_Stopped || m_State != State::kReceiving) return;
  m_Received += bytes;
  if (m_Received == m_Expected) {
    Handle();
    return;
  }
  if (error) {
    CloseWithNote("it closed before its request was complete");
    return;
  }
  ArmTimer();
  ReadPayload();
}

void Connection::Refuse(std::int32_t code, const std::string& reason) {
  m_State = State::kHandling;
  m_Timer.cancel();
  auto self = shared_from_this();
  m_Queue.Submit(
      [self, code, reason](RequestHandler& handler) {
        if (self->m_Stopped) return HandlerReply();
        return handler.RefuseFrame(code, reason, self->m_Peer);
      },
      [self](HandlerReply reply) { self->Send(std::move(reply)); });
}

void Connection::Handle() {
  m_State = State::kHandling;
  m_Timer.cancel();
  auto self = shared_from_this();
  m_Queue.Submit(
      [self](RequestHandler& handler) {
        if (self->m_Stopped || self->m_PeerGone) return HandlerReply();
        HandlerReply reply = handler.HandlePayload(self->m_Payload.data(), self->m_Received,
                                                   self->m_Peer);
        // The request is done with; a large reply needs the memory more.
        self->m_Payload = RequestBuffer();
        return reply;
      },
      [self](HandlerReply reply) { self->Send(std::move(reply)); });
  WatchPeer();
}

void Connection::WatchPeer() {
  auto self = shared_from_this();
  m_Socket.async_wait(boost::asio::ip::tcp::socket::wait_read,
                      [self](const boost::system::error_code& error) {
                        if (error || self->m_Stopped || self->m_State != State::kHandling) return;
                        // Bytes after the request (a second frame, garbage) are
                        // the drain's business; only a reset or a close counts.
                        if (self->PeerGone()) self->m_PeerGone = true;
                      });
}

bool Connection::PeerGone() {
  if (m_PeerGone) return true;
  char byte = 0;
  boost::system::error_code error;
  // Left non-blocking: the asynchronous operations do not mind, and making
  // it blocking again would clear the mode they rely on.
  m_Socket.non_blocking(true, error);
  if (error) return false;
  const std::size_t bytes =
      m_Socket.receive(boost::asio::buffer(&byte, 1), boost::asio::socket_base::message_peek, error);
  if (bytes > 0) return false;
  return error != boost::asio::error::would_block && error != boost::asio::error::try_again &&
         error != boost::asio::error::interrupted;
}

void Connection::DropForGonePeer() {
  m_Queue.Note(boost::str(boost::format("Dropped the request of %s unanswered: the client has "
                                        "gone (%d such requests in all)") %
                          m_Peer % m_Manager.CountDropped()));
  Close();
}

void Connection::Send(HandlerReply reply) {
  if (m_Stopped) return;
  GiveBack();
  if (reply.empty()) {
    if (m_PeerGone || PeerGone())
      DropForGonePeer();
    else
      CloseWithNote("its request could not be answered");
    return;
  }
  if (reply.size() >= kLargeReply && PeerGone()) {
    DropForGonePeer();
    return;
  }
  m_Reply = std::move(reply);
  m_Pieces = m_Reply.payload.Pieces();
  m_State = State::kSending;
  m_Sent = 0;
  ArmTimer();
  WriteSome();
}

void Connection::WriteSome() {
  auto self = shared_from_this();
  // What is left of the header and the payload's pieces, from m_Sent on.
  std::vector<boost::asio::const_buffer> buffers;
  buffers.reserve(m_Pieces.size() + 1);
  std::size_t skip = m_Sent;
  auto unsent = [&](const char* data, std::size_t size) {
    if (skip >= size) {
      skip -= size;
      return;
    }
    buffers.emplace_back(data + skip, size - skip);
    skip = 0;
  };
  unsent(m_Reply.header.data(), m_Reply.header.size());
  for (const grd_svr::CPayloadPieces::Piece& piece : m_Pieces) unsent(piece.data, piece.size);
  m_Socket.async_write_some(buffers,
                            [self](const boost::system::error_code& error, std::size_t bytes) {
                              self->OnWrite(error, bytes);
                            });
}

void Connection::OnWrite(const boost::system::error_code& error, std::size_t bytes) {
  if (m_Stopped) return;
  if (error) {
    CloseWithNote("its reply could not be sent: " + error.message());
    return;
  }
  m_Sent += bytes;
  if (m_Sent < m_Reply.size()) {
    ArmTimer();
    WriteSome();
    return;
  }
  const bool retire = m_Reply.retire;
  m_Pieces.clear();
  m_Reply = HandlerReply();
  boost::system::error_code ignored;
  m_Socket.shutdown(boost::asio::ip::tcp::socket::shutdown_send, ignored);
  m_State = State::kDraining;
  if (m_DrainAllowance == 0) m_DrainAllowance = kMaxDrainBytes;
  ArmTimer();
  Drain();
  if (retire) m_Manager.NotifyRetired();
}

void Connection::Drain() {
  if (m_Discard.empty()) m_Discard.resize(kDiscardChunk);
  auto self = shared_from_this();
  m_Socket.async_read_some(boost::asio::buffer(m_Discard),
                           [self](const boost::system::error_code& error, std::size_t bytes) {
                             if (self->m_Stopped) return;
                             self->m_Drained += bytes;
                             if (error || self->m_Drained > self->m_DrainAllowance) {
                               self->Close();
                               return;
                             }
                             self->ArmTimer();
                             self->Drain();
                           });
}

void Connection::Close() {
  m_State = State::kClosed;
  m_Manager.Stop(shared_from_this());
}

void Connection::CloseWithNote(const std::string& why) {
  m_Queue.Note("Closed the connection from " + m_Peer + ": " + why);
  Close();
}

void Connection::ArmTimer() {
  const int wait_ms = m_State == State::kDraining
                          ? std::min(kDrainTimeoutMs, m_Limits.idle_timeout_ms)
                          : m_Limits.idle_timeout_ms;
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(wait_ms);
  if (m_State == State::kReceiving) {
    if (m_Waiting != 0) deadline = m_RequestDeadline;
    deadline = std::min(deadline, m_RequestDeadline);
    if (!m_HeaderRead) deadline = std::min(deadline, m_HeaderDeadline);
  }
  m_Timer.expires_at(deadline);
  auto self = shared_from_this();
  m_Timer.async_wait([self](const boost::system::error_code& error) { self->OnTimer(error); });
}

void Connection::OnTimer(const boost::system::error_code& error) {
  if (error == boost::asio::error::operation_aborted || m_Stopped) return;
  if (m_Timer.expiry() > Clock::now()) return;
  if (m_State == State::kDraining) {
    // The reply is out; a client that does not close is simply let go.
    Close();
    return;
  }
  if (m_State != State::kReceiving && m_State != State::kSending) return;
  std::string why;
  if (m_State == State::kSending)
    why = boost::str(boost::format("its reply moved no byte for %d ms") % m_Limits.idle_timeout_ms);
  else if (m_Waiting != 0)
    why = boost::str(boost::format("its request was still waiting for memory for incomplete "
                                   "requests %d ms after it was accepted") %
                     m_Limits.request_timeout_ms);
  else if (Clock::now() >= m_RequestDeadline)
    why = boost::str(boost::format("its request was not complete after %d ms") %
                     m_Limits.request_timeout_ms);
  else if (!m_HeaderRead && Clock::now() >= m_HeaderDeadline)
    why = boost::str(boost::format("its frame header had not arrived after %d ms") %
                     m_Limits.header_timeout_ms);
  else
    why = boost::str(boost::format("it sent nothing for %d ms") % m_Limits.idle_timeout_ms);
  CloseWithNote(why);
}

}  // namespace grid_server
