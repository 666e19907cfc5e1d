// Little-endian byte builders for writing expected archive bytes by hand,
// independently of the archive code under test.
#ifndef MIRL_TESTS_PROTOCOL_WIRE_BYTES_H_
#define MIRL_TESTS_PROTOCOL_WIRE_BYTES_H_

#include <cstdint>
#include <cstring>
#include <string>

#include "protocol/wire_layout.h"

namespace grd_svr_test {

template <typename T>
std::string Raw(T value) {
  std::string out(sizeof(T), '\0');
  std::memcpy(&out[0], &value, sizeof(T));
  return out;
}

inline std::string I32(std::int32_t v) { return Raw(v); }
inline std::string U64(std::uint64_t v) { return Raw(v); }
inline std::string F32(float v) { return Raw(v); }
inline std::string F64(double v) { return Raw(v); }
// A size field (string length, collection count) of the layout's width.
inline std::string Len(std::uint64_t n, grd_svr::WireLayout layout = grd_svr::NativeWireLayout()) {
  return layout == grd_svr::WireLayout::k64Bit ? U64(n) : Raw(static_cast<std::uint32_t>(n));
}
// A string as the archive writes it: its length, then the characters.
inline std::string Str(const std::string& s,
                       grd_svr::WireLayout layout = grd_svr::NativeWireLayout()) {
  return Len(s.size(), layout) + s;
}

inline bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace grd_svr_test

#endif  // MIRL_TESTS_PROTOCOL_WIRE_BYTES_H_
