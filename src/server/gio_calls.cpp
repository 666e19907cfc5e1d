#include "server/gio.h"
#include "server/gio_state.h"

namespace grd_svr {
namespace {

// Calls slot f as Fn with args, or returns kGioNotBound when it is not bound.
template <typename Fn, typename... Args>
int Guarded(GioFunction f, Args... args) {
  void* function = GioState().functions[f];
  if (function == nullptr) return kGioNotBound;
  return reinterpret_cast<Fn>(function)(args...);
}

}  // namespace

int CGIO::GridExists(const std::string& path) {
  return Guarded<GridExistsFn>(kGridExists, path.c_str());
}

int CGIO::CellLayerOpen(const std::string& path, int mode, int evaluation, int32_t* cell_type,
                        double* cell_size) {
  return Guarded<CellLayerOpenFn>(kCellLayerOpen, path.c_str(), mode, evaluation, cell_type,
                                  cell_size);
}

int CGIO::CellLayerCreate(const std::string& path, int mode, int evaluation, int32_t cell_type,
                          double cell_size, const double box[4]) {
  return Guarded<CellLayerCreateFn>(kCellLayerCreate, path.c_str(), mode, evaluation, cell_type,
                                    cell_size, box);
}

int CGIO::CellLyrClose(int handle) { return Guarded<CellLyrCloseFn>(kCellLyrClose, handle); }

int CGIO::CellLyrDelete(const std::string& path) {
  return Guarded<CellLyrDeleteFn>(kCellLyrDelete, path.c_str());
}

int CGIO::GetWindowRowInt(int handle, int row, int32_t* cells) {
  return Guarded<GetWindowRowIntFn>(kGetWindowRowInt, handle, row, cells);
}

int CGIO::GetWindowRowFloat(int handle, int row, float* cells) {
  return Guarded<GetWindowRowFloatFn>(kGetWindowRowFloat, handle, row, cells);
}

int CGIO::PutWindowRow(int handle, int row, const int32_t* cells) {
  return Guarded<PutWindowRowFn>(kPutWindowRow, handle, row, static_cast<const void*>(cells));
}

int CGIO::PutWindowRow(int handle, int row, const float* cells) {
  return Guarded<PutWindowRowFn>(kPutWindowRow, handle, row, static_cast<const void*>(cells));
}

int CGIO::AccessWindowSet(const double box[4], double cell_size, double box_set[4]) {
  return Guarded<AccessWindowSetFn>(kAccessWindowSet, box, cell_size, box_set);
}

int CGIO::WindowRows() { return Guarded<WindowRowsFn>(kWindowRows); }

int CGIO::WindowCols() { return Guarded<WindowColsFn>(kWindowCols); }

int CGIO::DescribeGridDbl(const std::string& path, double* cell_size, int32_t rows_cols[2],
                          double box[4], double stats[4], int32_t* data_type, int32_t* class_count,
                          int32_t* record_length) {
  return Guarded<DescribeGridDblFn>(kDescribeGridDbl, path.c_str(), cell_size, rows_cols, box,
                                    stats, data_type, class_count, record_length);
}

int CGIO::CleanWorkspace(const std::string& dir) {
  void* function = GioState().clean_workspace;
  if (function == nullptr) return kGioNotBound;
  return reinterpret_cast<GridIOCleanWorkspaceFn>(function)(dir.c_str());
}

int CGIO::GridCopy(const std::string& from, const std::string& to) {
  return Guarded<GridCopyFn>(kGridCopy, from.c_str(), to.c_str());
}

}  // namespace grd_svr
