#include "layer_stats.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "avgridio.h"
#include "gio_error.h"
#include "layer.h"

namespace gridio {
namespace {

// Two passes over cells still in the cache. The sums run over the cells'
// distances from the row's first valid cell, which double precision holds
// exactly, so that the mean of cells far from zero is not rounded to their
// magnitude. Eight lanes of running sums without branches, so that the
// additions do not wait on one another and the compiler can use vectors.
constexpr int kLanes = 8;

template <typename T>
RowSummary Summarise(const T* cells, int n) {
  RowSummary row;
  int start = 0;
  while (start < n && cells[start] == Marker<T>()) ++start;
  if (start == n) return row;
  const double shift = static_cast<double>(cells[start]);
  double sum[kLanes] = {}, lo[kLanes], hi[kLanes];
  int64_t count[kLanes] = {};
  for (int j = 0; j < kLanes; ++j) lo[j] = hi[j] = shift;
  int i = start;
  for (; i + kLanes <= n; i += kLanes) {
    for (int j = 0; j < kLanes; ++j) {
      const T v = cells[i + j];
      const bool valid = v != Marker<T>();
      const double x = static_cast<double>(v);
      sum[j] += valid ? x - shift : 0.0;
      count[j] += valid ? 1 : 0;
      lo[j] = valid && x < lo[j] ? x : lo[j];
      hi[j] = valid && x > hi[j] ? x : hi[j];
    }
  }
  for (; i < n; ++i) {
    const T v = cells[i];
    if (v == Marker<T>()) continue;
    const double x = static_cast<double>(v);
    sum[0] += x - shift;
    ++count[0];
    lo[0] = x < lo[0] ? x : lo[0];
    hi[0] = x > hi[0] ? x : hi[0];
  }
  int64_t total = 0;
  double s = 0;
  for (int j = 0; j < kLanes; ++j) {
    total += count[j];
    s += sum[j];
    row.minimum = j == 0 || lo[j] < row.minimum ? lo[j] : row.minimum;
    row.maximum = j == 0 || hi[j] > row.maximum ? hi[j] : row.maximum;
  }
  const double offset = s / static_cast<double>(total);
  double m2[kLanes] = {};
  i = start;
  for (; i + kLanes <= n; i += kLanes) {
    for (int j = 0; j < kLanes; ++j) {
      const T v = cells[i + j];
      const double d = (static_cast<double>(v) - shift) - offset;
      m2[j] += v != Marker<T>() ? d * d : 0.0;
    }
  }
  for (; i < n; ++i) {
    if (cells[i] == Marker<T>()) continue;
    const double d = (static_cast<double>(cells[i]) - shift) - offset;
    m2[0] += d * d;
  }
  double squares = 0;
  for (int j = 0; j < kLanes; ++j) squares += m2[j];
  row.count = total;
  row.shift = shift;
  row.offset = offset;
  row.m2 = squares;
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

// Summarises into (*rows)[r] every layer row r for which wanted(r).
template <typename T, typename Wanted>
void Scan(Layer& layer, std::vector<RowSummary>* rows, Wanted wanted) {
  const LayerGrid& grid = layer.grid();
  std::vector<T> row(grid.cols);
  for (int r = 0; r < grid.rows; ++r) {
    if (!wanted(r)) continue;
    layer.ReadLayerSpan(r, 0, grid.cols, row.data());
    (*rows)[r] = Summarise(row.data(), grid.cols);
  }
}

template <typename Wanted>
void ScanAnyType(Layer& layer, std::vector<RowSummary>* rows, Wanted wanted) {
  if (layer.cell_type() == GIO_CELLINT)
    Scan<int32_t>(layer, rows, wanted);
  else
    Scan<float>(layer, rows, wanted);
}

// No row's count of valid cells is negative.
constexpr int64_t kChangedRow = -1;

}  // namespace

RowSummary SummariseRow(const int32_t* cells, int n) { return Summarise(cells, n); }

RowSummary SummariseRow(const float* cells, int n) { return Summarise(cells, n); }

void MarkRowChanged(RowSummary* row) { *row = RowSummary{kChangedRow, 0, 0, 0, 0, 0}; }

bool RowChanged(const RowSummary& row) { return row.count == kChangedRow; }

LayerStats MergeRows(const std::vector<RowSummary>& rows) {
  Accumulator accumulator;
  for (const RowSummary& row : rows) accumulator.Add(row);
  return accumulator.Result();
}

std::vector<RowSummary> SummariseLayer(Layer& layer) {
  std::vector<RowSummary> rows(layer.grid().rows);
  ScanAnyType(layer, &rows, [](int) { return true; });
  return rows;
}

void SummariseChangedRows(Layer& layer, std::vector<RowSummary>* rows) {
  if (rows->size() != static_cast<size_t>(layer.grid().rows)) Fail(GIO_ERR_READ);
  ScanAnyType(layer, rows, [rows](int r) { return RowChanged((*rows)[r]); });
}

LayerStats ComputeStats(Layer& layer) { return MergeRows(SummariseLayer(layer)); }

}  // namespace gridio
