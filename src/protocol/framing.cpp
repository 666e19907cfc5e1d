#include "protocol/framing.h"

#include <boost/asio/error.hpp>
#include <cstdio>
#include <exception>
#include <stdexcept>

namespace grd_svr {

boost::system::error_code FrameError() {
  return boost::system::error_code(boost::asio::error::invalid_argument);
}

std::string EncodeWithRetry(const EncodeFunction& encode, std::int32_t& wait_ms,
                            const PauseFunction& pause) {
  for (int retries = 0;; ++retries) {
    try {
      return encode();
    } catch (const std::exception&) {
      if (retries == kEncodeRetries) throw;
    }
    pause(kEncodeRetryPauseMs);
    wait_ms += kEncodeRetryPauseMs;
  }
}

std::string EncodePacketWithRetry(const boost::shared_ptr<CGSvrPacket>& packet,
                                  std::int32_t& wait_ms, const PauseFunction& pause) {
  return EncodeWithRetry([&packet] { return EncodePacket(packet); }, wait_ms, pause);
}

boost::system::error_code FormatFrameHeader(std::size_t payload_length, std::string& header) {
  if (payload_length > kMaxFrameLength) return FrameError();
  char text[kFrameHeaderLength + 1];
  const int n = std::snprintf(text, sizeof(text), "%8zx", payload_length);
  if (n != static_cast<int>(kFrameHeaderLength)) return FrameError();
  header.assign(text, kFrameHeaderLength);
  return {};
}

namespace {

// The length a header announces, whatever its size; false when the header
// is not blanks followed by one or more hexadecimal digits.
bool ParseAnnouncedLength(const char* header, std::size_t& value) {
  std::size_t i = 0;
  while (i < kFrameHeaderLength && header[i] == ' ') ++i;
  if (i == kFrameHeaderLength) return false;
  value = 0;
  for (; i < kFrameHeaderLength; ++i) {
    const char c = header[i];
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    value = value * 16 + digit;  // 8 digits fit in 32 bits: no overflow
  }
  return true;
}

}  // namespace

boost::system::error_code ParseFrameHeader(const char* header, std::size_t& payload_length) {
  std::size_t value = 0;
  if (!ParseAnnouncedLength(header, value) || value > kMaxFrameLength) return FrameError();
  payload_length = value;
  return {};
}

bool FrameHeaderTooLong(const char* header) {
  std::size_t value = 0;
  return ParseAnnouncedLength(header, value) && value > kMaxFrameLength;
}

std::string EncodeFrame(const boost::shared_ptr<CGSvrPacket>& packet, WireLayout layout) {
  const std::string payload = EncodePacket(packet, layout);
  std::string message;
  if (FormatFrameHeader(payload.size(), message)) {
    throw std::length_error("packet too long to frame");
  }
  message += payload;
  return message;
}

boost::system::error_code DecodeFrame(const void* data, std::size_t size,
                                      boost::shared_ptr<CGSvrPacket>& packet) noexcept {
  if (data == nullptr || size < kFrameHeaderLength) return FrameError();
  const char* bytes = static_cast<const char*>(data);
  std::size_t length = 0;
  if (ParseFrameHeader(bytes, length)) return FrameError();
  if (length != size - kFrameHeaderLength) return FrameError();
  return DecodePacket(bytes + kFrameHeaderLength, length, packet);
}

}  // namespace grd_svr
