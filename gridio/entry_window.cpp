// The access window and the rows read and written through it.
#include "avgridio.h"
#include "entry_frame.h"
#include "layer_crs.h"
#include "library_state.h"

using namespace gridio;

namespace {

void RequireRow(const WindowGrid& window, int row) {
  if (row < 0 || row >= window.rows) Fail(GIO_ERR_ROW);
}

template <typename T>
int ReadRow(int handle, int row, T* cells) {
  return RunRowEntry([&]() -> int {
    RequireSetUp();
    if (cells == nullptr) Fail(GIO_ERR_ARGUMENT);
    Layer& layer = LayerOf(handle);
    const WindowGrid& window = RequireWindow();
    RequireRow(window, row);
    layer.ReadWindowRow(window, State().window_id, row, cells);
    return GIO_OK;
  });
}

}  // namespace

GIO_API int AccessWindowSet(const double* box, double cell_size, double* box_set) {
  return RunRowEntry([&]() -> int {
    RequireSetUp();
    LibraryState& state = State();
    state.window_set = false;
    ++state.window_id;
    if (box == nullptr || box_set == nullptr) Fail(GIO_ERR_ARGUMENT);
    WindowGrid window;
    if (!SnapToCells(box, cell_size, &window)) Fail(GIO_ERR_ARGUMENT);
    state.window = window;
    state.window_set = true;
    NoteWindow(window);
    box_set[0] = window.x_min;
    box_set[1] = window.y_min;
    box_set[2] = window.x_max;
    box_set[3] = window.y_max;
    return GIO_OK;
  });
}

GIO_API int WindowRows(void) {
  return RunRowEntry(
      []() -> int { return State().set_up && State().window_set ? State().window.rows : 0; });
}

GIO_API int WindowCols(void) {
  return RunRowEntry(
      []() -> int { return State().set_up && State().window_set ? State().window.cols : 0; });
}

GIO_API int GetWindowRowInt(int handle, int row, int32_t* cells) {
  return ReadRow(handle, row, cells);
}

GIO_API int GetWindowRowFloat(int handle, int row, float* cells) {
  return ReadRow(handle, row, cells);
}

GIO_API int PutWindowRow(int handle, int row, const void* cells) {
  return RunRowEntry([&]() -> int {
    RequireSetUp();
    if (cells == nullptr) Fail(GIO_ERR_ARGUMENT);
    Layer& layer = LayerOf(handle);
    const WindowGrid& window = RequireWindow();
    RequireRow(window, row);
    layer.WriteWindowRow(window, State().window_id, row, cells);
    return GIO_OK;
  });
}
