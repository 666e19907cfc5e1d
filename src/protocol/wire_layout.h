// The two layouts of a Boost binary archive that the protocol speaks. Boost
// writes its size fields (string lengths, collection counts) as the
// writer's std::size_t: 8 bytes from a 64-bit build, 4 from a 32-bit one
// (the 32-bit Windows DLL). Every other field has the same width in both.
// Each build writes its own layout unless asked for the other, reads both,
// and a server answers a request in the layout it came in.
//
// The archive header tells the layouts apart by its first field, the
// length of Boost's signature "serialization::archive" (22): as 8 bytes it
// is followed by four zero bytes, as 4 bytes by the signature's "seri".
//
// Thread safety: constants only.
#ifndef MIRL_PROTOCOL_WIRE_LAYOUT_H_
#define MIRL_PROTOCOL_WIRE_LAYOUT_H_

#include <cstddef>

namespace grd_svr {

enum class WireLayout {
  k64Bit,  // 8-byte size fields: 64-bit writers
  k32Bit,  // 4-byte size fields: 32-bit writers
};

// The layout this build writes by default.
constexpr WireLayout NativeWireLayout() {
  return sizeof(std::size_t) == 8 ? WireLayout::k64Bit : WireLayout::k32Bit;
}

// Bytes of one size field in the layout.
constexpr std::size_t SizeFieldBytes(WireLayout layout) {
  return layout == WireLayout::k64Bit ? 8 : 4;
}

}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_WIRE_LAYOUT_H_
