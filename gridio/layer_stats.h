// Exact statistics of a layer's valid cells on its own grid, built from
// one summary per layer row merged in row order, so that statistics kept
// with a layer and updated row by row as rows change are, bit for bit, the
// statistics of a full scan of the changed layer.
#ifndef GRIDIO_LAYER_STATS_H_
#define GRIDIO_LAYER_STATS_H_

#include <cstdint>
#include <vector>


namespace gridio {

class Layer;

struct LayerStats {
  double minimum = 0.0;
  double maximum = 0.0;
  double mean = 0.0;
  // Population standard deviation (divided by the count).
  double std_dev = 0.0;
  long long count = 0;
};

// The valid cells of one row: count, extremes, and the mean and sum of
// squared deviations about it, as the distance of the row's mean from its
// first valid cell (shift + offset) so that no precision is lost to the
// cells' magnitude.
struct RowSummary {
  int64_t count = 0;
  double minimum = 0, maximum = 0, shift = 0, offset = 0, m2 = 0;
};

// The summary of n cells of the library's cell class (markers not counted).
RowSummary SummariseRow(const int32_t* cells, int n);
RowSummary SummariseRow(const float* cells, int n);

// A summary whose row has changed since it was made (kept statistics mark
// the rows a write changed, to be summarised again when next described).
void MarkRowChanged(RowSummary* row);
bool RowChanged(const RowSummary& row);

// The rows merged in order; all fields 0 when no cell is valid. No row may
// be marked changed.
LayerStats MergeRows(const std::vector<RowSummary>& rows);

// One summary per layer row, read once each. Throws GioError.
std::vector<RowSummary> SummariseLayer(Layer& layer);

// Summarises again, from layer, the rows of *rows marked changed. Throws
// GioError.
void SummariseChangedRows(Layer& layer, std::vector<RowSummary>* rows);

// MergeRows(SummariseLayer(layer)).
LayerStats ComputeStats(Layer& layer);

}  // namespace gridio

#endif  // GRIDIO_LAYER_STATS_H_
