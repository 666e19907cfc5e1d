// Encoding, framing and decoding of packets for the TCP road: what
// CGSvrCommPack calls, usable on plain byte buffers (no socket here).
//
// A message is an 8-character header, the payload length in lower-case
// hexadecimal right-aligned and blank-padded ("      1a" for 26 bytes),
// followed by the payload: a Boost binary archive (flags 0, so with Boost's
// standard archive header) holding one boost::shared_ptr<CGSvrPacket>, the
// packet's class named by its export key.
//
// Archive compatibility policy. We write the native format of the Boost we
// build with: Boost 1.74 writes archive library version 18 (not the 9 of
// the protocol's first servers), with 8-byte string lengths and collection
// counts from a 64-bit build and 4-byte ones from a 32-bit build (the two
// layouts of wire_layout.h). Boost refuses archives newer than itself, so a
// peer must use Boost 1.74 or later on a little-endian platform. We read
// library versions 9 to ours in either layout, from writers with 4-byte int
// and float, 8-byte double and our byte order, and a long of 4 bytes (or 8
// in the 64-bit layout: Linux); the header is checked before any field is
// read. The encoder writes the other layout when asked, so that a server
// answers each client in the layout its request came in. Anything we cannot
// read exactly (a bad header, a foreign format, truncation, trailing bytes,
// a length or count beyond the bytes present, an unknown export key, any
// exception, std::length_error included) is the invalid-argument outcome:
// rejected, never half-read.
//
// Maximum frame length. A payload may hold at most kMaxFrameLength bytes
// (128 MiB): a whole 4000 x 4000 grid of 4-byte cells is 64 000 000 bytes,
// so it fits with room to spare (up to 33.5 million cells). The limit is
// checked on the header before the receive buffer is sized, and on the
// writer's side before a frame is built, so a frame we would refuse to read
// is never sent. While decoding, every string, count and cell vector is
// checked against the bytes left in the payload before anything is
// allocated, so decoding never allocates more than four times the payload.
//
// Thread safety: every function is reentrant; the packets passed in belong
// to the caller and must not be changed by another thread meanwhile.
#ifndef MIRL_PROTOCOL_FRAMING_H_
#define MIRL_PROTOCOL_FRAMING_H_

#include <boost/shared_ptr.hpp>
#include <boost/system/error_code.hpp>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "protocol/packet.h"
#include "protocol/wire_layout.h"

namespace grd_svr {

constexpr std::size_t kFrameHeaderLength = 8;
constexpr std::size_t kMaxFrameLength = std::size_t{128} << 20;

// Encoding retries after a failed attempt, and the pause before each.
constexpr int kEncodeRetries = 10;
constexpr int kEncodeRetryPauseMs = 2000;

// The invalid-argument error every framing failure completes with
// (boost::asio::error::invalid_argument: EINVAL here, WSAEINVAL 10022 on
// Windows), so that its message is the system's.
boost::system::error_code FrameError();

// The payload of one packet (an empty pointer encodes as a null pointer) in
// the given layout. Throws std::exception (boost::archive::archive_exception,
// std::bad_alloc) when the packet cannot be serialized.
std::string EncodePacket(const boost::shared_ptr<CGSvrPacket>& packet,
                         WireLayout layout = NativeWireLayout());

// EncodePacket into payload, replacing what it held. Its storage is reused
// when large enough, so a caller that keeps one string across messages
// touches fresh memory only when a message outgrows it. Throws as
// EncodePacket does; payload's contents are then unspecified.
void EncodePacketInto(const boost::shared_ptr<CGSvrPacket>& packet, std::string& payload,
                      WireLayout layout = NativeWireLayout());

// EncodePacket with the retry rule: after a std::exception, waits
// kEncodeRetryPauseMs through pause, adds it to wait_ms and tries again, up
// to kEncodeRetries times; the exception of the last attempt propagates.
// encode defaults to EncodePacket; pause is how the caller sleeps.
using EncodeFunction = std::function<std::string()>;
using PauseFunction = std::function<void(int milliseconds)>;
std::string EncodeWithRetry(const EncodeFunction& encode, std::int32_t& wait_ms,
                            const PauseFunction& pause);
std::string EncodePacketWithRetry(const boost::shared_ptr<CGSvrPacket>& packet,
                                  std::int32_t& wait_ms, const PauseFunction& pause);

// The 8-character header for a payload of payload_length bytes; FrameError
// (header untouched) when the length exceeds kMaxFrameLength.
boost::system::error_code FormatFrameHeader(std::size_t payload_length, std::string& header);

// Parses the 8 header bytes at header: blanks, then one or more hexadecimal
// digits up to the end. FrameError (length untouched) for anything else or
// a length above kMaxFrameLength.
boost::system::error_code ParseFrameHeader(const char* header, std::size_t& payload_length);

// True when the 8 header bytes at header are well formed but announce more
// than kMaxFrameLength bytes: a frame that no retry can make acceptable.
bool FrameHeaderTooLong(const char* header);

// Decodes a payload of size bytes at data, in whichever layout it is, into
// packet. On success packet holds the decoded packet (empty if the archive
// held a null pointer). On FrameError packet is untouched. When layout is
// not null it receives the layout the archive header shows, whenever the
// header shows one, also for a payload refused further on (so that a
// refusal can be answered in the sender's layout); otherwise it is
// untouched. Never throws.
boost::system::error_code DecodePacket(const void* data, std::size_t size,
                                       boost::shared_ptr<CGSvrPacket>& packet,
                                       WireLayout* layout = nullptr) noexcept;

// A whole message (header and payload) in one string; throws as EncodePacket
// does, or std::length_error when the payload is too long to frame.
std::string EncodeFrame(const boost::shared_ptr<CGSvrPacket>& packet,
                        WireLayout layout = NativeWireLayout());

// Decodes a whole message of size bytes: a valid header whose length equals
// the bytes that follow it, and a decodable payload. As DecodePacket.
boost::system::error_code DecodeFrame(const void* data, std::size_t size,
                                      boost::shared_ptr<CGSvrPacket>& packet) noexcept;

}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_FRAMING_H_
