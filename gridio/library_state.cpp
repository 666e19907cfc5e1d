#include "library_state.h"

#include <limits>

#include "avgridio.h"
#include "gio_error.h"
#include "never_destroyed.h"

namespace gridio {

namespace {
// Far above any real use, far below the process's file descriptor limit
// being the first thing to give out.
constexpr size_t kMaxOpenLayers = 512;
}  // namespace

LibraryState& State() {
  // Never destroyed, like the lock that guards it.
  static NeverDestroyed<LibraryState> state;
  return state.get();
}

void RequireSetUp() {
  if (!State().set_up) Fail(GIO_ERR_NOT_SETUP);
}

const WindowGrid& RequireWindow() {
  if (!State().window_set) Fail(GIO_ERR_NO_WINDOW);
  return State().window;
}

Layer& LayerOf(int handle) {
  auto it = State().layers.find(handle);
  if (it == State().layers.end()) Fail(GIO_ERR_HANDLE);
  return *it->second;
}

int AddLayer(std::unique_ptr<Layer> layer) {
  LibraryState& state = State();
  if (state.layers.size() >= kMaxOpenLayers) Fail(GIO_ERR_OPEN);
  if (state.next_handle == std::numeric_limits<int>::max()) Fail(GIO_ERR_OPEN);
  const int handle = state.next_handle++;
  state.layers.emplace(handle, std::move(layer));
  return handle;
}

int CloseLayer(int handle) {
  auto it = State().layers.find(handle);
  if (it == State().layers.end()) Fail(GIO_ERR_HANDLE);
  std::unique_ptr<Layer> layer = std::move(it->second);
  State().layers.erase(it);
  return layer->Close();
}

}  // namespace gridio
