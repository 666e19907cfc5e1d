#include "cell_values.h"

namespace gridio {

NodataRule::NodataRule(bool has_nodata, double nodata) : has_nodata_(has_nodata) {
  if (!has_nodata) return;
  float_nodata_is_nan_ = std::isnan(nodata);
  // GDAL reads an out-of-range nodata of a Float64 layer as an infinity.
  if (float_nodata_is_nan_ || std::fabs(nodata) <= 3.4028234663852886e+38)
    float_nodata_ = static_cast<float>(nodata);
  else
    float_nodata_ = nodata < 0 ? -INFINITY : INFINITY;
  int_matches_ = nodata == std::trunc(nodata) && nodata >= -2147483648.0 && nodata <= 2147483647.0;
  if (int_matches_) int_nodata_ = static_cast<int32_t>(nodata);
}

void NodataRule::ToMarkers(int32_t* cells, int count) const {
  if (!int_matches_ || int_nodata_ == GIO_MISSING_INT) return;
  for (int i = 0; i < count; ++i) {
    const int32_t v = cells[i];
    cells[i] = v == int_nodata_ ? GIO_MISSING_INT : v;
  }
}

void NodataRule::ToMarkers(float* cells, int count) const {
  // NaN is never a value a user can work with; it reads as missing whether
  // or not it is the declared nodata.
  const float nodata = has_nodata_ && !float_nodata_is_nan_ ? float_nodata_ : NAN;
  // A select rather than a branch, so the loop vectorises: this runs over
  // every cell read.
  for (int i = 0; i < count; ++i) {
    const float v = cells[i];
    cells[i] = (v != v || v == nodata) ? GIO_MISSING_FLOAT : v;
  }
}

}  // namespace gridio
