#include "layer_stats.h"

#include <cmath>
#include <vector>

namespace gridio {
namespace {

// Welford's running mean and sum of squared deviations in extended
// precision: one pass, without the cancellation of a sum of squares.
class Accumulator {
 public:
  void Add(long double x) {
    if (count_ == 0) {
      min_ = max_ = x;
    } else {
      if (x < min_) min_ = x;
      if (x > max_) max_ = x;
    }
    ++count_;
    const long double delta = x - mean_;
    mean_ += delta / count_;
    m2_ += delta * (x - mean_);
  }

  LayerStats Result() const {
    LayerStats stats;
    if (count_ == 0) return stats;
    stats.minimum = static_cast<double>(min_);
    stats.maximum = static_cast<double>(max_);
    stats.mean = static_cast<double>(mean_);
    stats.std_dev = static_cast<double>(std::sqrt(m2_ / count_));
    stats.count = count_;
    return stats;
  }

 private:
  long long count_ = 0;
  long double min_ = 0, max_ = 0, mean_ = 0, m2_ = 0;
};

template <typename T>
LayerStats Scan(Layer& layer) {
  const LayerGrid& grid = layer.grid();
  std::vector<T> row(grid.cols);
  Accumulator accumulator;
  for (int r = 0; r < grid.rows; ++r) {
    layer.ReadLayerSpan(r, 0, grid.cols, row.data());
    for (T v : row)
      if (v != Marker<T>()) accumulator.Add(v);
  }
  return accumulator.Result();
}

}  // namespace

LayerStats ComputeStats(Layer& layer) {
  return layer.cell_type() == GIO_CELLINT ? Scan<int32_t>(layer) : Scan<float>(layer);
}

}  // namespace gridio
