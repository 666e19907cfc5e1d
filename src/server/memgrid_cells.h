// Cell conversions and block-write merges shared by both kinds of memory
// grid. Which missing markers a call passes (the library's or a packet's) is
// the caller's business; see memgrid_solid.h and memgrid_hollow.h.
//
// Pure functions; thread-safe.
#ifndef MIRL_SERVER_MEMGRID_CELLS_H_
#define MIRL_SERVER_MEMGRID_CELLS_H_

#include <cmath>
#include <cstdint>

namespace grd_svr {

struct CellMarkers {
  std::int32_t int_marker;
  float float_marker;
};

inline float ToFloatCell(std::int32_t v, const CellMarkers& markers) {
  return v == markers.int_marker ? markers.float_marker : static_cast<float>(v);
}

// Truncates toward zero. A value that has no 32-bit integer (NaN, infinite,
// out of range) would be undefined behaviour to convert, so it becomes the
// integer marker, as the library itself reads such cells.
inline std::int32_t ToIntCell(float f, const CellMarkers& markers) {
  if (f == markers.float_marker) return markers.int_marker;
  const double truncated = std::trunc(static_cast<double>(f));
  if (!(truncated >= -2147483648.0 && truncated <= 2147483647.0)) return markers.int_marker;
  return static_cast<std::int32_t>(truncated);
}

inline std::int32_t ConvertCell(std::int32_t v, const CellMarkers&, std::int32_t*) { return v; }
inline float ConvertCell(float v, const CellMarkers&, float*) { return v; }
inline float ConvertCell(std::int32_t v, const CellMarkers& markers, float*) {
  return ToFloatCell(v, markers);
}
inline std::int32_t ConvertCell(float v, const CellMarkers& markers, std::int32_t*) {
  return ToIntCell(v, markers);
}

// The cell of type To that v stands for, by the conversion rules.
template <class To, class From>
To Convert(From v, const CellMarkers& markers) {
  return ConvertCell(v, markers, static_cast<To*>(nullptr));
}

// g + v for transparency 2. An integer sum beyond 32 bits saturates at the
// type's bounds, so an overflow is never undefined; a sum within them is
// stored as it is, even where it equals the marker.
inline std::int32_t AddCells(std::int32_t g, std::int32_t v) {
  const std::int64_t sum = static_cast<std::int64_t>(g) + v;
  if (sum > INT32_MAX) return INT32_MAX;
  if (sum < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(sum);
}
inline float AddCells(float g, float v) {
  return static_cast<float>(static_cast<double>(g) + static_cast<double>(v));
}

// Merges block value v into grid cell g by transparency: 0 overwrites (b
// writes the library marker m), 1 overwrites except where v is b, 2 adds
// except where v is b (into a missing g it stores v), others leave g alone.
template <class T>
T MergeCell(T g, T v, T b, T m, std::int32_t transparency) {
  switch (transparency) {
    case 0:
      return v == b ? m : v;
    case 1:
      return v == b ? g : v;
    case 2:
      if (v == b) return g;
      return g == m ? v : AddCells(g, v);
    default:
      return g;
  }
}

}  // namespace grd_svr

#endif  // MIRL_SERVER_MEMGRID_CELLS_H_
