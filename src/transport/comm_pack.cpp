#include "transport/comm_pack.h"

#include <array>
#include <boost/asio/buffer.hpp>
#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <cstddef>

#include "platform/sleep.h"
#include "protocol/large_block.h"

namespace grd_svr {

namespace asio = boost::asio;

// Asio's default caps each system call at 64 KiB; a grid moves faster when
// every call may take all that is left. The socket still hands back what it
// has at each call, so progress is stamped often enough for the watch.
struct CGSvrCommPack::ProgressCondition {
  static constexpr std::size_t kStep = std::size_t{1} << 30;
  CGSvrCommPack* owner;
  std::size_t operator()(const boost::system::error_code& error, std::size_t) const {
    owner->Progress();
    return error ? 0 : kStep;
  }
};

CGSvrCommPack::CGSvrCommPack(asio::io_context& io_service, const TransportTiming& timing)
    : m_Socket(io_service), m_InboundHeader(), m_Timing(timing), m_Watch(io_service) {}

void CGSvrCommPack::AsyncConnect(const asio::ip::tcp::endpoint& endpoint, Handler handler) {
  Close();
  Arm(m_Timing.connect_timeout_ms);
  auto self = shared_from_this();
  m_Socket.async_connect(endpoint, [self, handler](const boost::system::error_code& error) {
    handler(self->Finish(error));
  });
}

void CGSvrCommPack::AsyncWrite(const boost::shared_ptr<CGSvrPacket>& packet, Handler handler) {
  // The protocol's rule counts its own pause length into the wait; the
  // sleep itself is the one the timing asks for, so tests can shorten it.
  const int pause_ms = m_Timing.encode_retry_pause_ms;
  m_OutboundData = EncodeWithRetry(
      [this, &packet] {
        std::string payload = std::move(m_OutboundData);
        EncodePacketInto(packet, payload);
        return payload;
      },
      m_Wait, [pause_ms](int) { mirl::platform::SleepMilliseconds(pause_ms); });
  const boost::system::error_code framed =
      FormatFrameHeader(m_OutboundData.size(), m_OutboundHeader);
  if (framed) {
    // A request longer than any frame can never go out: another attempt
    // would only repeat the wait, so the exchange ends here with an error.
    m_OutboundData.clear();
    throw boost::system::system_error(framed, "request frame");
  }
  const std::array<asio::const_buffer, 2> frame = {asio::buffer(m_OutboundHeader),
                                                   asio::buffer(m_OutboundData)};
  Arm(m_Timing.silence_timeout_ms);
  auto self = shared_from_this();
  asio::async_write(m_Socket, frame, ProgressCondition{this},
                    [self, handler](const boost::system::error_code& error, std::size_t) {
                      handler(self->Finish(error));
                    });
}

void CGSvrCommPack::AsyncRead(boost::shared_ptr<CGSvrPacket>* destination, Handler handler) {
  // One watch over header and payload: the pause between them is silence too.
  Arm(m_Timing.silence_timeout_ms);
  auto self = shared_from_this();
  asio::async_read(
      m_Socket, asio::buffer(m_InboundHeader), ProgressCondition{this},
      [self, destination, handler](const boost::system::error_code& error, std::size_t) {
        if (error || self->m_TimedOut) {
          handler(self->Finish(error));
          return;
        }
        self->ReadPayload(destination, handler);
      });
}

void CGSvrCommPack::ReadPayload(boost::shared_ptr<CGSvrPacket>* destination, Handler handler) {
  std::size_t length = 0;
  const boost::system::error_code parsed = ParseFrameHeader(m_InboundHeader, length);
  if (parsed) {
    if (FrameHeaderTooLong(m_InboundHeader)) {
      m_ReplyTooLong = true;
      handler(Finish(asio::error::message_size));
      return;
    }
    handler(Finish(parsed));
    return;
  }
  // Only a length the protocol accepts gets this far, so the buffer is
  // bounded. Storage that held this or an earlier message is reused as it
  // is (growing into it zero-fills memory already mapped); a reply larger
  // than any before gets fresh storage, advised before its first touch.
  if (length > m_OutboundData.capacity()) {
    std::string().swap(m_OutboundData);
    m_OutboundData.reserve(length);
    AdviseLargeBlock(&m_OutboundData[0], m_OutboundData.capacity());
  }
  m_OutboundData.resize(length);
  m_InboundBytes = &m_OutboundData[0];
  m_InboundSize = length;
  auto self = shared_from_this();
  asio::async_read(
      m_Socket, asio::buffer(m_InboundBytes, m_InboundSize), ProgressCondition{this},
      [self, destination, handler](const boost::system::error_code& error, std::size_t) {
        const boost::system::error_code read = self->Finish(error);
        if (read) {
          handler(read);
          return;
        }
        handler(DecodePacket(self->m_InboundBytes, self->m_InboundSize, *destination));
      });
}

void CGSvrCommPack::Close() {
  boost::system::error_code ignored;
  // Closing alone is meant to abort what is pending, but not every Windows
  // socket layer (Wine's among them) ends a blocked overlapped send on
  // close; cancelling first ends it everywhere.
  m_Socket.cancel(ignored);
  m_Socket.close(ignored);
}

void CGSvrCommPack::Arm(int limit_ms) {
  m_Limit = std::chrono::milliseconds(limit_ms);
  m_Watching = true;
  m_TimedOut = false;
  ++m_WatchGeneration;
  Progress();
  WatchFrom(m_LastProgress + m_Limit);
}

boost::system::error_code CGSvrCommPack::Finish(const boost::system::error_code& error) {
  m_Watching = false;
  m_Watch.cancel();
  if (m_TimedOut) return asio::error::timed_out;
  return error;
}

void CGSvrCommPack::WatchFrom(Clock::time_point deadline) {
  m_Watch.expires_at(deadline);
  auto self = shared_from_this();
  const unsigned generation = m_WatchGeneration;
  m_Watch.async_wait([self, generation](const boost::system::error_code& error) {
    self->OnWatch(error, generation);
  });
}

void CGSvrCommPack::OnWatch(const boost::system::error_code& error, unsigned generation) {
  if (error == asio::error::operation_aborted) return;
  if (!m_Watching || generation != m_WatchGeneration) return;
  // Progress only moves a time stamp; the timer catches up with it here
  // rather than being re-armed for every step of a transfer.
  const Clock::time_point deadline = m_LastProgress + m_Limit;
  if (Clock::now() < deadline) {
    WatchFrom(deadline);
    return;
  }
  m_TimedOut = true;
  Close();
}

}  // namespace grd_svr
