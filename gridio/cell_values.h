// Cell values as the library hands them out: the two missing markers, the
// conversions between the cell types, and a layer's nodata rule, which turns
// the layer's own nodata cells into the markers on the way in and back on the
// way out.
#ifndef GRIDIO_CELL_VALUES_H_
#define GRIDIO_CELL_VALUES_H_

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "avgridio.h"

namespace gridio {

template <typename T>
constexpr T Marker() {
  if constexpr (std::is_same<T, int32_t>::value) {
    return GIO_MISSING_INT;
  } else {
    return GIO_MISSING_FLOAT;
  }
}

// float -> integer: the float marker, NaN and values an int32_t cannot hold
// become the integer marker; everything else truncates toward zero.
inline int32_t FloatToInt(float value) {
  if (value == GIO_MISSING_FLOAT || !(value >= -2147483648.0f) || !(value < 2147483648.0f))
    return GIO_MISSING_INT;
  return static_cast<int32_t>(value);
}

// integer -> float: the integer marker becomes the float marker.
inline float IntToFloat(int32_t value) {
  return value == GIO_MISSING_INT ? GIO_MISSING_FLOAT : static_cast<float>(value);
}

template <typename From, typename To>
To ConvertCell(From value) {
  if constexpr (std::is_same<From, To>::value) {
    return value;
  } else if constexpr (std::is_same<From, float>::value) {
    return FloatToInt(value);
  } else {
    return IntToFloat(value);
  }
}

// A layer's nodata value as it appears in rows of the layer's cell class
// (int32_t for integer layers, float for float layers, as GDAL converts it).
class NodataRule {
 public:
  NodataRule() = default;
  NodataRule(bool has_nodata, double nodata);

  // Layer value -> library value, in place: nodata (and, for floats, NaN)
  // become the marker.
  void ToMarkers(int32_t* cells, int count) const;
  void ToMarkers(float* cells, int count) const;

  // Library value -> layer value: the marker becomes the layer's nodata.
  int32_t FromMarker(int32_t value) const {
    return value == GIO_MISSING_INT && int_matches_ ? int_nodata_ : value;
  }
  float FromMarker(float value) const {
    return value == GIO_MISSING_FLOAT && has_nodata_ ? float_nodata_ : value;
  }

  // True when the markers are stored as they are (no nodata, or nodata is
  // the marker), so rows need no translation on the way out.
  bool WritesMarkersAsIs(int32_t) const { return !int_matches_ || int_nodata_ == GIO_MISSING_INT; }
  bool WritesMarkersAsIs(float) const { return !has_nodata_ || float_nodata_ == GIO_MISSING_FLOAT; }

 private:
  bool has_nodata_ = false;
  // An integral nodata within int32_t range matches integer cells.
  bool int_matches_ = false;
  int32_t int_nodata_ = 0;
  float float_nodata_ = 0.0f;
  bool float_nodata_is_nan_ = false;
};

}  // namespace gridio

#endif  // GRIDIO_CELL_VALUES_H_
