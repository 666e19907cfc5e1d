// The library's own process-wide state: whether it is set up, its one access
// window, and the table of open layers by handle.
//
// Lifetime: never destroyed. Thread safety: touched only inside RunEntry,
// under the library lock.
#ifndef GRIDIO_LIBRARY_STATE_H_
#define GRIDIO_LIBRARY_STATE_H_

#include <map>
#include <memory>

#include "grid_geometry.h"
#include "layer.h"

namespace gridio {

struct LibraryState {
  bool set_up = false;
  bool window_set = false;
  WindowGrid window;
  // Changes with every AccessWindowSet, so layers rebuild their mappings.
  unsigned long window_id = 0;
  // Handles are never reused, so a closed handle stays invalid.
  std::map<int, std::unique_ptr<Layer>> layers;
  int next_handle = 0;
};

LibraryState& State();

// Throws GioError(GIO_ERR_NOT_SETUP) unless GridIOSetup has run.
void RequireSetUp();

// The window; throws GioError(GIO_ERR_NO_WINDOW) when none is set.
const WindowGrid& RequireWindow();

// The open layer of handle; throws GioError(GIO_ERR_HANDLE).
Layer& LayerOf(int handle);

// Takes ownership of layer and returns its new handle.
int AddLayer(std::unique_ptr<Layer> layer);

// Closes handle's layer and forgets the handle; the layer's Close result.
int CloseLayer(int handle);

}  // namespace gridio

#endif  // GRIDIO_LIBRARY_STATE_H_
