// Decodes arbitrary bytes as a framed message and, separately, as a bare
// payload. Anything accepted must print, re-encode, and decode back to a
// packet of the same class that encodes to the same bytes (compared as
// bytes, since a NaN field never equals itself); a rejection must be the
// invalid-argument outcome with the packet left empty.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <typeinfo>

#include "protocol/framing.h"
#include "protocol/packet.h"

namespace {

void CheckAccepted(const boost::shared_ptr<grd_svr::CGSvrPacket>& packet) {
  if (!packet) return;
  std::ostringstream text;
  packet->Print(text);
  packet->PrintFields("> ", &text);
  const std::string frame = grd_svr::EncodeFrame(packet);
  boost::shared_ptr<grd_svr::CGSvrPacket> again;
  if (grd_svr::DecodeFrame(frame.data(), frame.size(), again)) std::abort();
  if (!again) std::abort();
  const grd_svr::CGSvrPacket& before = *packet;
  const grd_svr::CGSvrPacket& after = *again;
  if (typeid(after) != typeid(before)) std::abort();
  if (grd_svr::EncodeFrame(again) != frame) std::abort();
}

void Decode(const std::uint8_t* data, std::size_t size, bool framed) {
  boost::shared_ptr<grd_svr::CGSvrPacket> packet;
  const boost::system::error_code ec =
      framed ? grd_svr::DecodeFrame(data, size, packet) : grd_svr::DecodePacket(data, size, packet);
  if (ec) {
    if (ec != grd_svr::FrameError() || packet) std::abort();
    return;
  }
  CheckAccepted(packet);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Decode(data, size, true);
  if (size >= grd_svr::kFrameHeaderLength) {
    Decode(data + grd_svr::kFrameHeaderLength, size - grd_svr::kFrameHeaderLength, false);
  }
  return 0;
}
