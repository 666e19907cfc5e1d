/* The grid I/O library in R's .C calling convention (every argument by
 * pointer, the result through the first one), so that the R tests can write
 * and read layers through avgridio itself, with nothing of mirl_lib between.
 * Test support only: not part of either library. */
#include <stdint.h>
#include <stdlib.h>

#include "avgridio.h"

#define SHIM_API __attribute__((visibility("default")))

static int SetLayerWindow(const double* xll, const double* yll, const double* cell_size, int rows,
                          int cols, double* box) {
  double set[4];
  box[0] = *xll;
  box[1] = *yll;
  box[2] = *xll + cols * *cell_size;
  box[3] = *yll + rows * *cell_size;
  return AccessWindowSet(box, *cell_size, set);
}

SHIM_API void gio_r_setup(int* result) { *result = GridIOSetup(); }

/* Writes rows x cols values (row 0 north, one row after another) as a layer
 * of cell_type 1 (integer) or 2 (float) at path. */
SHIM_API void gio_r_write_layer(int* result, char** path, int* cell_type, int* rows, int* cols,
                                double* xll, double* yll, double* cell_size, double* values) {
  double box[4];
  int handle, r, c;
  void* row;
  *result = SetLayerWindow(xll, yll, cell_size, *rows, *cols, box);
  if (*result < 0) return;
  handle = CellLayerCreate(path[0], GIO_READWRITE, 1, *cell_type, *cell_size, box);
  if (handle < 0) {
    *result = handle;
    return;
  }
  row = malloc((size_t)*cols * 4);
  for (r = 0; r < *rows && *result >= 0; ++r) {
    for (c = 0; c < *cols; ++c) {
      const double v = values[(size_t)r * *cols + c];
      if (*cell_type == GIO_CELLINT)
        ((int32_t*)row)[c] = (int32_t)v;
      else
        ((float*)row)[c] = (float)v;
    }
    *result = PutWindowRow(handle, r, row);
  }
  free(row);
  if (*result >= 0)
    *result = CellLyrClose(handle);
  else
    CellLyrClose(handle);
}

/* Reads the layer at path through a window of rows x cols cells as floats. */
SHIM_API void gio_r_read_layer(int* result, char** path, int* rows, int* cols, double* xll,
                               double* yll, double* cell_size, double* values) {
  double box[4];
  int32_t type;
  double size;
  int handle, r, c;
  float* row;
  *result = SetLayerWindow(xll, yll, cell_size, *rows, *cols, box);
  if (*result < 0) return;
  handle = CellLayerOpen(path[0], GIO_READ, 1, &type, &size);
  if (handle < 0) {
    *result = handle;
    return;
  }
  row = malloc((size_t)*cols * sizeof(float));
  for (r = 0; r < *rows && *result >= 0; ++r) {
    *result = GetWindowRowFloat(handle, r, row);
    for (c = 0; c < *cols; ++c) values[(size_t)r * *cols + c] = row[c];
  }
  free(row);
  CellLyrClose(handle);
}

/* out: cell size, rows, columns, box (4), statistics (4), data type. */
SHIM_API void gio_r_describe(int* result, char** path, double* out) {
  double cell_size = 0, box[4] = {0, 0, 0, 0}, stats[4] = {0, 0, 0, 0};
  int32_t rows_cols[2] = {0, 0}, type = 0, classes = 0, reclen = 0;
  int i;
  *result = DescribeGridDbl(path[0], &cell_size, rows_cols, box, stats, &type, &classes, &reclen);
  out[0] = cell_size;
  out[1] = rows_cols[0];
  out[2] = rows_cols[1];
  for (i = 0; i < 4; ++i) {
    out[3 + i] = box[i];
    out[7 + i] = stats[i];
  }
  out[11] = type;
}
