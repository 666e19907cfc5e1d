// Decodes arbitrary bytes as a framed message and, separately, as a bare
// payload, in whichever wire layout they claim (the seeds hold both).
// Anything accepted must print, re-encode in the layout it came in, and
// decode back to a packet of the same class that encodes to the same bytes
// (compared as bytes, since a NaN field never equals itself); it must also
// survive the trip through the other layout unchanged. A rejection must be
// the invalid-argument outcome with the packet left empty.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <typeinfo>

#include "protocol/checked_iarchive.h"
#include "protocol/framing.h"
#include "protocol/packet.h"

namespace {

using Packet = boost::shared_ptr<grd_svr::CGSvrPacket>;

grd_svr::WireLayout Other(grd_svr::WireLayout layout) {
  return layout == grd_svr::WireLayout::k64Bit ? grd_svr::WireLayout::k32Bit
                                               : grd_svr::WireLayout::k64Bit;
}

// Encodes in layout, decodes, and checks that the class, the layout and the
// bytes of a second encoding are the same; returns the payload.
std::string RoundTrip(const Packet& packet, grd_svr::WireLayout layout) {
  const std::string payload = grd_svr::EncodePacket(packet, layout);
  Packet again;
  grd_svr::WireLayout found = Other(layout);
  if (grd_svr::DecodePacket(payload.data(), payload.size(), again, &found)) std::abort();
  if (!again || found != layout) std::abort();
  const grd_svr::CGSvrPacket& before = *packet;
  const grd_svr::CGSvrPacket& after = *again;
  if (typeid(after) != typeid(before)) std::abort();
  if (grd_svr::EncodePacket(again, layout) != payload) std::abort();
  return payload;
}

void CheckAccepted(const Packet& packet, grd_svr::WireLayout layout) {
  if (!packet) return;
  std::ostringstream text;
  packet->Print(text);
  packet->PrintFields("> ", &text);
  const std::string same = RoundTrip(packet, layout);
  // Through the other layout and back, nothing may change.
  const std::string other = grd_svr::EncodePacket(packet, Other(layout));
  Packet crossed;
  if (grd_svr::DecodePacket(other.data(), other.size(), crossed)) std::abort();
  if (!crossed || grd_svr::EncodePacket(crossed, layout) != same) std::abort();
  RoundTrip(crossed, Other(layout));
}

void Decode(const std::uint8_t* data, std::size_t size, bool framed) {
  Packet packet;
  grd_svr::WireLayout layout = grd_svr::NativeWireLayout();
  const char* bytes = reinterpret_cast<const char*>(data);
  boost::system::error_code ec;
  if (framed) {
    ec = grd_svr::DecodeFrame(data, size, packet);
    if (size >= grd_svr::kFrameHeaderLength) {
      grd_svr::CCheckedIArchive::DetectLayout(bytes + grd_svr::kFrameHeaderLength,
                                              size - grd_svr::kFrameHeaderLength, &layout);
    }
  } else {
    ec = grd_svr::DecodePacket(data, size, packet, &layout);
  }
  if (ec) {
    if (ec != grd_svr::FrameError() || packet) std::abort();
    return;
  }
  CheckAccepted(packet, layout);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Decode(data, size, true);
  if (size >= grd_svr::kFrameHeaderLength) {
    Decode(data + grd_svr::kFrameHeaderLength, size - grd_svr::kFrameHeaderLength, false);
  }
  return 0;
}
