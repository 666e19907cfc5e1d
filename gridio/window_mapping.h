// Which layer cell each window cell reads and writes: the layer cell under
// the window cell's centre (nearest neighbour). When the window's cells are
// the layer's own cells, shifted by whole cells, the mapping is "aligned":
// window column c is layer column c + col_offset and a row moves as one
// contiguous span, so it can go straight through GDAL.
//
// A value; built once per window and layer and kept by the layer.
#ifndef GRIDIO_WINDOW_MAPPING_H_
#define GRIDIO_WINDOW_MAPPING_H_

#include <vector>

#include "grid_geometry.h"

namespace gridio {

class WindowMapping {
 public:
  WindowMapping() = default;
  WindowMapping(const WindowGrid& window, const LayerGrid& layer);

  bool aligned() const { return aligned_; }
  int window_cols() const { return window_.cols; }

  // The layer row under window row, or -1 when it lies outside the layer.
  int LayerRow(int window_row) const;

  // Aligned only: window columns [first_col, end_col) lie inside the layer,
  // window column c being layer column c + col_offset.
  int first_col() const { return first_col_; }
  int end_col() const { return end_col_; }
  int col_offset() const { return col_offset_; }

  // Not aligned: the layer column under every window column (-1 outside), and
  // the span of layer columns [first_layer_col, end_layer_col) they touch
  // (empty when none is inside).
  const std::vector<int>& col_map() const { return col_map_; }
  int first_layer_col() const { return first_layer_col_; }
  int end_layer_col() const { return end_layer_col_; }

 private:
  WindowGrid window_;
  LayerGrid layer_;
  bool aligned_ = false;
  long long row_offset_ = 0;
  int col_offset_ = 0;
  int first_col_ = 0;
  int end_col_ = 0;
  std::vector<int> col_map_;
  int first_layer_col_ = 0;
  int end_layer_col_ = 0;
};

}  // namespace gridio

#endif  // GRIDIO_WINDOW_MAPPING_H_
