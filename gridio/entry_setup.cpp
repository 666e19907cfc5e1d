// Set-up, exit and the float marker.
#include <gdal.h>
#include <gdal_frmts.h>

#include "avgridio.h"
#include "entry_frame.h"
#include "layer_crs.h"
#include "library_state.h"

using namespace gridio;

namespace {

// Set when this library's image is finalised: at the last unload, or at
// process exit, where the loader may already have finalised GDAL before a
// host's own unload hook calls GridIOExit. From then on nothing may reach
// GDAL.
bool g_finalised = false;
__attribute__((destructor)) void OnFinalise() { g_finalised = true; }

}  // namespace

GIO_API int GridIOSetup(void) {
  // 0 on every failure: the caller reads any other value as "set up", and
  // the frame's codes for an exception are negative.
  const int result = RunEntry([]() -> int {
    // Only the two formats a layer can be: registering all of GDAL's
    // drivers would add milliseconds to every session's set-up. Either call
    // does nothing when the host has registered the driver already.
    GDALRegister_GTiff();
    GDALRegister_AIGrid();
    if (GDALGetDriverByName("GTiff") == nullptr || GDALGetDriverByName("AIG") == nullptr) return 0;
    State().set_up = true;
    return 1;
  });
  return result == 1 ? 1 : 0;
}

GIO_API int GridIOExit(void) {
  if (g_finalised) return GIO_OK;
  return RunEntry([]() -> int {
    LibraryState& state = State();
    // Closing commits what was written, as closing each handle would; one
    // layer that fails to commit does not keep the others open.
    while (!state.layers.empty()) {
      const int handle = state.layers.begin()->first;
      try {
        CloseLayer(handle);
      } catch (...) {
        state.layers.erase(handle);
      }
    }
    state.window_set = false;
    ++state.window_id;
    ForgetCrsMemory();
    state.set_up = false;
    return GIO_OK;
  });
}

GIO_API int GetMissingFloat(float* missing) {
  if (missing == nullptr) return GIO_ERR_ARGUMENT;
  *missing = GIO_MISSING_FLOAT;
  return GIO_OK;
}
