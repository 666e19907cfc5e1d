#include "window_mapping.h"

#include <algorithm>
#include <cmath>

namespace gridio {
namespace {

// Cell sizes that agree to this relative tolerance are the same size, and
// offsets within this many cells of a whole number are whole.
constexpr double kSameSize = 1e-9;
constexpr double kWholeCells = 1e-6;
// A centre that lies on a cell edge up to rounding goes to the cell east
// (respectively south, for north-up layers) of that edge, whichever way the
// rounding went.
constexpr double kEdgeNudge = 1e-9;

bool SameSize(double a, double b) { return std::fabs(a - b) <= kSameSize * std::fabs(b); }

bool WholeCells(double cells, long long* whole) {
  const double rounded = std::round(cells);
  if (std::fabs(cells - rounded) > kWholeCells) return false;
  if (std::fabs(rounded) > 1e15) return false;
  *whole = static_cast<long long>(rounded);
  return true;
}

// The layer index of the cell holding coordinate, or -1 outside [0, count).
int CellIndex(double coordinate, double origin, double step, int count) {
  const double index = std::floor((coordinate - origin) / step + kEdgeNudge);
  if (!(index >= 0.0) || index >= static_cast<double>(count)) return -1;
  return static_cast<int>(index);
}

}  // namespace

WindowMapping::WindowMapping(const WindowGrid& window, const LayerGrid& layer)
    : window_(window), layer_(layer) {
  long long col_offset = 0;
  long long row_offset = 0;
  aligned_ = layer.x_step > 0.0 && layer.y_step < 0.0 && SameSize(window.cell_size, layer.x_step) &&
             SameSize(window.cell_size, -layer.y_step) &&
             WholeCells((window.x_min - layer.x_origin) / layer.x_step, &col_offset) &&
             WholeCells((layer.y_origin - window.y_max) / -layer.y_step, &row_offset);
  if (aligned_) {
    row_offset_ = row_offset;
    const long long first = std::clamp<long long>(-col_offset, 0, window.cols);
    const long long end = std::clamp<long long>(layer.cols - col_offset, first, window.cols);
    first_col_ = static_cast<int>(first);
    end_col_ = static_cast<int>(end);
    // Only meaningful when the span is not empty, and then it fits an int.
    col_offset_ = first < end ? static_cast<int>(col_offset) : 0;
    return;
  }
  col_map_.resize(window.cols);
  first_layer_col_ = layer.cols;
  end_layer_col_ = 0;
  for (int c = 0; c < window.cols; ++c) {
    const double x = window.x_min + (c + 0.5) * window.cell_size;
    const int col = CellIndex(x, layer.x_origin, layer.x_step, layer.cols);
    col_map_[c] = col;
    if (col >= 0) {
      first_layer_col_ = std::min(first_layer_col_, col);
      end_layer_col_ = std::max(end_layer_col_, col + 1);
    }
  }
  if (end_layer_col_ <= first_layer_col_) first_layer_col_ = end_layer_col_ = 0;
}

int WindowMapping::LayerRow(int window_row) const {
  if (aligned_) {
    const long long row = window_row + row_offset_;
    return row >= 0 && row < layer_.rows ? static_cast<int>(row) : -1;
  }
  const double y = window_.y_max - (window_row + 0.5) * window_.cell_size;
  return CellIndex(y, layer_.y_origin, layer_.y_step, layer_.rows);
}

}  // namespace gridio
