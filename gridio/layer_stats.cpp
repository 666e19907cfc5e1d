#include "layer_stats.h"

#include <cmath>
#include <vector>

#include "layer.h"

namespace gridio {
namespace {

// Two passes over cells still in the cache. The sums run over the cells'
// distances from the row's first valid cell, which double precision holds
// exactly, so that the mean of cells far from zero is not rounded to their
// magnitude. Four running sums, so that the additions do not wait on one
// another.
template <typename T>
RowSummary Summarise(const T* cells, int n) {
  RowSummary row;
  double sum[4] = {0, 0, 0, 0};
  long long count = 0;
  double lo = 0, hi = 0, shift = 0;
  for (int i = 0; i < n; ++i) {
    const T v = cells[i];
    if (v == Marker<T>()) continue;
    const double x = static_cast<double>(v);
    if (count == 0) {
      lo = hi = shift = x;
    } else {
      lo = x < lo ? x : lo;
      hi = x > hi ? x : hi;
    }
    sum[count & 3] += x - shift;
    ++count;
  }
  if (count == 0) return row;
  const double offset = ((sum[0] + sum[1]) + (sum[2] + sum[3])) / static_cast<double>(count);
  double m2[4] = {0, 0, 0, 0};
  long long k = 0;
  for (int i = 0; i < n; ++i) {
    if (cells[i] == Marker<T>()) continue;
    const double d = (static_cast<double>(cells[i]) - shift) - offset;
    m2[k & 3] += d * d;
    ++k;
  }
  row.count = count;
  row.minimum = lo;
  row.maximum = hi;
  row.shift = shift;
  row.offset = offset;
  row.m2 = (m2[0] + m2[1]) + (m2[2] + m2[3]);
  return row;
}

// The rows merged in extended precision by the pairwise update of Chan,
// Golub and LeVeque: no sum of squares, so no cancellation.
class Accumulator {
 public:
  void Add(const RowSummary& row) {
    if (row.count == 0) return;
    if (count_ == 0) {
      min_ = row.minimum;
      max_ = row.maximum;
    } else {
      if (row.minimum < min_) min_ = row.minimum;
      if (row.maximum > max_) max_ = row.maximum;
    }
    const long double n_a = static_cast<long double>(count_);
    const long double n_b = static_cast<long double>(row.count);
    const long double n = n_a + n_b;
    const long double row_mean =
        static_cast<long double>(row.shift) + static_cast<long double>(row.offset);
    const long double delta = row_mean - mean_;
    mean_ += delta * n_b / n;
    m2_ += static_cast<long double>(row.m2) + delta * delta * n_a * n_b / n;
    count_ += row.count;
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
  double min_ = 0, max_ = 0;
  long double mean_ = 0, m2_ = 0;
};

template <typename T>
std::vector<RowSummary> Scan(Layer& layer) {
  const LayerGrid& grid = layer.grid();
  std::vector<T> row(grid.cols);
  std::vector<RowSummary> rows(grid.rows);
  for (int r = 0; r < grid.rows; ++r) {
    layer.ReadLayerSpan(r, 0, grid.cols, row.data());
    rows[r] = Summarise(row.data(), grid.cols);
  }
  return rows;
}

}  // namespace

RowSummary SummariseRow(const int32_t* cells, int n) { return Summarise(cells, n); }

RowSummary SummariseRow(const float* cells, int n) { return Summarise(cells, n); }

LayerStats MergeRows(const std::vector<RowSummary>& rows) {
  Accumulator accumulator;
  for (const RowSummary& row : rows) accumulator.Add(row);
  return accumulator.Result();
}

std::vector<RowSummary> SummariseLayer(Layer& layer) {
  return layer.cell_type() == GIO_CELLINT ? Scan<int32_t>(layer) : Scan<float>(layer);
}

LayerStats ComputeStats(Layer& layer) { return MergeRows(SummariseLayer(layer)); }

}  // namespace gridio
