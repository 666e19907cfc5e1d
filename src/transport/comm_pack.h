// One connection attempt of the TCP client: the socket, the framed request
// and the reply as read. Used for one request and one reply, then dropped;
// the socket closes with the last reference.
//
// Every wait on the socket is watched: a connect that the address does not
// answer within the connect time-out, or a write or read during which no
// byte moves for the silence time-out, is cut off and completes with
// boost::asio::error::timed_out.
//
// Ownership: held by boost::shared_ptr; each pending operation and the
// watch timer keep it alive until their handlers have run. Thread safety:
// none; everything runs inside the io_context's run on the caller's thread.
#ifndef MIRL_TRANSPORT_COMM_PACK_H_
#define MIRL_TRANSPORT_COMM_PACK_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/enable_shared_from_this.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/system/error_code.hpp>

#include "protocol/framing.h"
#include "protocol/packet.h"
#include "transport/transport_timing.h"

namespace grd_svr {

class CGSvrCommPack : public boost::enable_shared_from_this<CGSvrCommPack> {
 public:
  using Handler = std::function<void(const boost::system::error_code&)>;

  // The io_context must outlive the connection.
  CGSvrCommPack(boost::asio::io_context& io_service, const TransportTiming& timing);

  // Connects to one address; a socket left open by an earlier address is
  // closed first.
  void AsyncConnect(const boost::asio::ip::tcp::endpoint& endpoint, Handler handler);

  // Encodes the packet (retrying a failed encoding as the protocol says,
  // the pauses counted in Wait()) and writes header and payload in one
  // gathered write. A frame that cannot be built completes with the
  // invalid-argument error, nothing written. Throws when encoding fails
  // for good.
  void AsyncWrite(const boost::shared_ptr<CGSvrPacket>& packet, Handler handler);

  // Reads one framed reply and decodes it into *destination, which must
  // stay valid until the handler runs. A bad header or an undecodable
  // payload completes with the invalid-argument error; a well-formed header
  // announcing more than the protocol's maximum (refused before the buffer
  // is sized) with boost::asio::error::message_size, and ReplyTooLong() then
  // says so.
  void AsyncRead(boost::shared_ptr<CGSvrPacket>* destination, Handler handler);

  void Close();

  // Lends the connection a buffer kept from an earlier exchange: the request
  // is encoded into its storage and the reply read into it when it fits.
  void AdoptBuffer(std::string buffer) { m_OutboundData = std::move(buffer); }
  // Gives that buffer (grown to the largest message of this connection)
  // back once the reply has been decoded; the connection keeps none.
  std::string ReleaseBuffer() { return std::move(m_OutboundData); }

  std::int32_t Wait() const { return m_Wait; }
  /// The reply announced a frame longer than any the protocol allows.
  bool ReplyTooLong() const { return m_ReplyTooLong; }
  boost::shared_ptr<CGSvrPacket>& Request() { return m_Request; }
  boost::shared_ptr<CGSvrPacket>& Reply() { return m_Reply; }

 private:
  using Clock = std::chrono::steady_clock;

  void ReadPayload(boost::shared_ptr<CGSvrPacket>* destination, Handler handler);

  // The watch: Arm before an operation starts, Progress whenever bytes
  // move, Finish when it completes; Finish turns the outcome into
  // timed_out if the watch cut the operation off.
  void Arm(int limit_ms);
  void Progress() { m_LastProgress = Clock::now(); }
  boost::system::error_code Finish(const boost::system::error_code& error);
  void WatchFrom(Clock::time_point deadline);
  void OnWatch(const boost::system::error_code& error, unsigned generation);

  // Lets async_read/async_write move at most this much per call, and
  // stamps progress each time they ask.
  struct ProgressCondition;

  boost::asio::ip::tcp::socket m_Socket;
  std::string m_OutboundHeader;
  // The request's payload, and then the reply's: the request is written out
  // by the time the reply arrives, and memory already touched takes a grid
  // without a page fault per 4 KiB.
  std::string m_OutboundData;
  char m_InboundHeader[kFrameHeaderLength];
  char* m_InboundBytes = nullptr;
  std::size_t m_InboundSize = 0;
  std::int32_t m_Wait = 0;
  boost::shared_ptr<CGSvrPacket> m_Request;
  boost::shared_ptr<CGSvrPacket> m_Reply;

  TransportTiming m_Timing;
  boost::asio::steady_timer m_Watch;
  Clock::duration m_Limit{};
  Clock::time_point m_LastProgress;
  unsigned m_WatchGeneration = 0;
  bool m_Watching = false;
  bool m_TimedOut = false;
  bool m_ReplyTooLong = false;
};

}  // namespace grd_svr

#endif  // MIRL_TRANSPORT_COMM_PACK_H_
