// The two grids a window row passes between: the access window (north-up,
// square cells, lower-left corner kept as given) and a layer's own grid (a
// GDAL geotransform without rotation; either axis may run either way).
#ifndef GRIDIO_GRID_GEOMETRY_H_
#define GRIDIO_GRID_GEOMETRY_H_

#include <cstdint>

namespace gridio {

struct WindowGrid {
  double x_min = 0.0;
  double y_min = 0.0;
  double x_max = 0.0;
  double y_max = 0.0;
  double cell_size = 0.0;
  int rows = 0;
  int cols = 0;
};

// Snaps box (x min, y min, x max, y max) to whole cells of cell_size: the
// lower-left corner stays, width and height round up to whole cells, a
// shortfall below a millionth of a cell being dropped. False (grid untouched)
// for a non-finite or non-positive cell size, a non-finite or empty box, or
// more than INT32_MAX rows or columns.
bool SnapToCells(const double* box, double cell_size, WindowGrid* grid);

struct LayerGrid {
  double x_origin = 0.0;  // geotransform[0]: X of column 0's outer edge
  double x_step = 0.0;    // geotransform[1]
  double y_origin = 0.0;  // geotransform[3]: Y of row 0's outer edge
  double y_step = 0.0;    // geotransform[5], negative when north-up
  int rows = 0;
  int cols = 0;

  // The west-east cell width.
  double CellSize() const;
  // x min, y min, x max, y max of the whole layer.
  void Box(double* box) const;
  // The layer grid a created layer gets: the window grid's cells, north-up.
  static LayerGrid FromWindow(const WindowGrid& window);
};

}  // namespace gridio

#endif  // GRIDIO_GRID_GEOMETRY_H_
