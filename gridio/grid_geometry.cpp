#include "grid_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace gridio {
namespace {

// A box that is meant to hold a whole number of cells often falls a rounding
// error short of it; that must not cost a cell.
constexpr double kCellShortfall = 1e-6;

bool CellCount(double extent, double cell_size, int* count) {
  const double cells = std::ceil(extent / cell_size - kCellShortfall);
  if (!(cells <= static_cast<double>(std::numeric_limits<int32_t>::max()))) return false;
  *count = std::max(1, static_cast<int>(cells));
  return true;
}

}  // namespace

bool SnapToCells(const double* box, double cell_size, WindowGrid* grid) {
  if (box == nullptr || grid == nullptr) return false;
  if (!std::isfinite(cell_size) || !(cell_size > 0.0)) return false;
  for (int i = 0; i < 4; ++i)
    if (!std::isfinite(box[i])) return false;
  if (!(box[2] > box[0]) || !(box[3] > box[1])) return false;
  WindowGrid snapped;
  if (!CellCount(box[2] - box[0], cell_size, &snapped.cols)) return false;
  if (!CellCount(box[3] - box[1], cell_size, &snapped.rows)) return false;
  snapped.cell_size = cell_size;
  snapped.x_min = box[0];
  snapped.y_min = box[1];
  snapped.x_max = box[0] + snapped.cols * cell_size;
  snapped.y_max = box[1] + snapped.rows * cell_size;
  if (!std::isfinite(snapped.x_max) || !std::isfinite(snapped.y_max)) return false;
  *grid = snapped;
  return true;
}

double LayerGrid::CellSize() const { return std::fabs(x_step); }

void LayerGrid::Box(double* box) const {
  const double x_end = x_origin + cols * x_step;
  const double y_end = y_origin + rows * y_step;
  box[0] = std::min(x_origin, x_end);
  box[1] = std::min(y_origin, y_end);
  box[2] = std::max(x_origin, x_end);
  box[3] = std::max(y_origin, y_end);
}

LayerGrid LayerGrid::FromWindow(const WindowGrid& window) {
  LayerGrid grid;
  grid.x_origin = window.x_min;
  grid.x_step = window.cell_size;
  grid.y_origin = window.y_max;
  grid.y_step = -window.cell_size;
  grid.rows = window.rows;
  grid.cols = window.cols;
  return grid;
}

}  // namespace gridio
