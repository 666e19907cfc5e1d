// Payload encoding and decoding: one shared pointer to CGSvrPacket per
// archive.
// clang-format off
// First: it brings the archive headers in before export.hpp.
#include "protocol/packet_serialize.h"
// clang-format on

#include <exception>
#include <ostream>

#include "protocol/framing.h"
#include "protocol/large_block.h"
#include "protocol/memory_buffers.h"

namespace grd_svr {
namespace {

void WriteArchive(const boost::shared_ptr<CGSvrPacket>& packet, std::streambuf& sink,
                  WireLayout layout) {
  CWireOArchive archive(sink, layout);
  archive << packet;
}

}  // namespace

std::string EncodePacket(const boost::shared_ptr<CGSvrPacket>& packet, WireLayout layout) {
  std::string payload;
  EncodePacketInto(packet, payload, layout);
  return payload;
}

void EncodePacketInto(const boost::shared_ptr<CGSvrPacket>& packet, std::string& payload,
                      WireLayout layout) {
  // A counting pass first, so that the payload is built in one allocation
  // and the cells are copied once.
  CStringOutputBuffer counter(nullptr);
  WriteArchive(packet, counter, layout);
  payload.clear();
  if (payload.capacity() < counter.written()) {
    // The old storage goes first, so the two are never held at once. A
    // grid-sized payload is fresh memory: large pages spare most of the
    // page faults its first write would take.
    std::string().swap(payload);
    payload.reserve(counter.written());
    AdviseLargeBlock(&payload[0], payload.capacity());
  }
  CStringOutputBuffer sink(&payload);
  WriteArchive(packet, sink, layout);
}

boost::system::error_code DecodePacket(const void* data, std::size_t size,
                                       boost::shared_ptr<CGSvrPacket>& packet,
                                       WireLayout* layout) noexcept {
  if (data == nullptr || size > kMaxFrameLength) return FrameError();
  WireLayout found;
  if (layout != nullptr &&
      CCheckedIArchive::DetectLayout(static_cast<const char*>(data), size, &found)) {
    *layout = found;
  }
  try {
    CMemoryInputBuffer source(static_cast<const char*>(data), size);
    boost::shared_ptr<CGSvrPacket> decoded;
    {
      CCheckedIArchive archive(source);
      try {
        archive >> decoded;
      } catch (...) {
        if (!decoded) archive.DestroyCreated();
        throw;
      }
    }
    // Bytes left over mean the archive was read with the wrong layout.
    if (source.remaining() != 0) return FrameError();
    packet = decoded;
    return {};
  } catch (...) {
    return FrameError();
  }
}

}  // namespace grd_svr
