// R's .C twins of the grid exports: dereference, call, store, return.
// R passes an empty character vector as a null pointer, which reaches the
// export as a null string and gets its null-argument code. .C never passes a
// null pointer for a numeric vector; a C caller that does gets the export's
// round failure code instead of a crash.
#include "exports/grid_api.h"

namespace {

char* FirstString(char** strings) { return strings == nullptr ? nullptr : strings[0]; }

int Store(int* result, int code) {
  if (result != nullptr) *result = code;
  return code;
}

template <class... Pointers>
bool AllSet(const Pointers*... pointers) {
  return ((pointers != nullptr) && ...);
}

}  // namespace

MIRL_API int R_gridinit(int* result, int* io_mode, char** source_name, int* source_port,
                        int* do_log) {
  if (!AllSet(io_mode, source_port, do_log)) return Store(result, -620);
  return Store(result, gridinit(*io_mode, FirstString(source_name), *source_port, *do_log));
}

MIRL_API int R_setwindow(int* result, char** grid_name, int* y_count, int* x_count, double* y_ll,
                         double* x_ll, double* cell_size, int* block_only) {
  return Store(result, setwindow(FirstString(grid_name), y_count, x_count, y_ll, x_ll, cell_size,
                                 block_only));
}

MIRL_API int R_makewindow(int* result, int* y_count, int* x_count, double* y_ll, double* x_ll,
                          double* cell_size, int* block_only) {
  return Store(result, makewindow(y_count, x_count, y_ll, x_ll, cell_size, block_only));
}

MIRL_API int R_getwindow(int* result, int* y_count, int* x_count, double* y_ll, double* x_ll,
                         double* cell_size, int* block_only) {
  return Store(result, getwindow(y_count, x_count, y_ll, x_ll, cell_size, block_only));
}

MIRL_API int R_readgrid_int(int* result, char** grid_name, int* missing_value, int* mtx_grid) {
  if (!AllSet(missing_value)) return Store(result, -660);
  return Store(result, readgrid_int(FirstString(grid_name), *missing_value, mtx_grid));
}

MIRL_API int R_readgrid_dbl(int* result, char** grid_name, double* missing_value,
                            double* mtx_grid) {
  if (!AllSet(missing_value)) return Store(result, -660);
  return Store(result, readgrid_dbl(FirstString(grid_name), *missing_value, mtx_grid));
}

MIRL_API int R_writegrid_int(int* result, char** grid_name, int* y_count, int* x_count,
                             int* missing_value, int* mtx_grid) {
  if (!AllSet(y_count, x_count, missing_value)) return Store(result, -680);
  return Store(result,
               writegrid_int(FirstString(grid_name), *y_count, *x_count, *missing_value, mtx_grid));
}

MIRL_API int R_writegrid_dbl(int* result, char** grid_name, int* y_count, int* x_count,
                             double* missing_value, double* mtx_grid) {
  if (!AllSet(y_count, x_count, missing_value)) return Store(result, -680);
  return Store(result,
               writegrid_dbl(FirstString(grid_name), *y_count, *x_count, *missing_value, mtx_grid));
}

MIRL_API int R_readblock_int(int* result, char** grid_name, int* y_start, int* x_start,
                             int* y_count, int* x_count, int* buffer_size, int* missing_value,
                             int* mtx_block) {
  if (!AllSet(y_start, x_start, y_count, x_count, buffer_size, missing_value))
    return Store(result, -700);
  return Store(result, readblock_int(FirstString(grid_name), *y_start, *x_start, *y_count, *x_count,
                                     *buffer_size, *missing_value, mtx_block));
}

MIRL_API int R_readblock_dbl(int* result, char** grid_name, int* y_start, int* x_start,
                             int* y_count, int* x_count, int* buffer_size, double* missing_value,
                             double* mtx_block) {
  if (!AllSet(y_start, x_start, y_count, x_count, buffer_size, missing_value))
    return Store(result, -700);
  return Store(result, readblock_dbl(FirstString(grid_name), *y_start, *x_start, *y_count, *x_count,
                                     *buffer_size, *missing_value, mtx_block));
}

MIRL_API int R_writeblock_int(int* result, char** grid_name, int* y_start, int* x_start,
                              int* y_count, int* x_count, int* missing_value, int* mtx_block,
                              int* transparency) {
  if (!AllSet(y_start, x_start, y_count, x_count, missing_value, transparency))
    return Store(result, -720);
  return Store(result, writeblock_int(FirstString(grid_name), *y_start, *x_start, *y_count,
                                      *x_count, *missing_value, mtx_block, *transparency));
}

MIRL_API int R_writeblock_dbl(int* result, char** grid_name, int* y_start, int* x_start,
                              int* y_count, int* x_count, double* missing_value, double* mtx_block,
                              int* transparency) {
  if (!AllSet(y_start, x_start, y_count, x_count, missing_value, transparency))
    return Store(result, -720);
  return Store(result, writeblock_dbl(FirstString(grid_name), *y_start, *x_start, *y_count,
                                      *x_count, *missing_value, mtx_block, *transparency));
}

MIRL_API int R_gridlist(int* result, char** root, char** grid_list) {
  return Store(result, gridlist(FirstString(root), FirstString(grid_list)));
}

MIRL_API int R_gridkill(int* result, char** grid_name) {
  return Store(result, gridkill(FirstString(grid_name)));
}

MIRL_API int R_griddescribe(int* result, char** grid_name, int* y_count, int* x_count, double* y_ll,
                            double* x_ll, double* cell_size, int* cell_type, double* stat_min,
                            double* stat_max, double* stat_mean, double* stat_stddev) {
  return Store(result, griddescribe(FirstString(grid_name), y_count, x_count, y_ll, x_ll, cell_size,
                                    cell_type, stat_min, stat_max, stat_mean, stat_stddev));
}

MIRL_API int R_gridcreate(int* result, char** grid_name, int* cell_type) {
  if (!AllSet(cell_type)) return Store(result, -800);
  return Store(result, gridcreate(FirstString(grid_name), *cell_type));
}

MIRL_API int R_gridcopy(int* result, char** src_grid_name, char** dst_grid_name) {
  return Store(result, gridcopy(FirstString(src_grid_name), FirstString(dst_grid_name)));
}

MIRL_API int R_gridserver_retire(int* result) { return Store(result, gridserver_retire()); }
