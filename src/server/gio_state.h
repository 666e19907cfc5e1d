// The process-wide state of the in-process grid server that the grid library
// binding keeps: one instance per process, shared by every CGIO, the layer
// cache and the memory grids.
//
// Lifetime: created on first use and never destroyed, so it outlives
// sessions (clean_up leaves it alone) and static destruction order does not
// matter; the window, workspace and markers keep their values until changed.
// Thread safety: every field is read and written only under critical section
// A (CriticalGuardA, gio_lock.h), which also serialises every call into the
// grid library. CGIO's constructor and destructor take the same lock.
#ifndef MIRL_SERVER_GIO_STATE_H_
#define MIRL_SERVER_GIO_STATE_H_

#include <cstdint>
#include <string>

#include "platform/critical_section.h"
#include "platform/dynamic_library.h"
#include "server/access_window.h"
#include "server/gio_functions.h"

namespace grd_svr {

class IGSvrLog;

// The library's integer missing value (0x80000001).
constexpr int32_t kGioMissingInt = -2147483647;

// Result of a library call whose function is not bound.
constexpr int kGioNotBound = -50;

struct GIOState {
  /// Critical section A; enter it through CriticalGuardA.
  mirl::platform::CriticalSection critical_a;

  /// The loaded grid library; null while none is loaded.
  mirl::platform::LibraryHandle module = nullptr;
  /// All 56 functions resolved and the library set up.
  bool library_ready = false;
  /// The library is loaded and set up; a further CGIO does not load it again.
  bool loaded = false;
  /// Live CGIO objects; the library is unloaded when the last one goes.
  int binding_count = 0;
  /// Texts appended while loading ("avgridio.so loaded;"); cleared on unload.
  std::string load_report;
  /// The resolved entry points by GioFunction; all null while not loaded.
  void* functions[kGioFunctionCount] = {};
  /// GridIOCleanWorkspace, an entry point beyond the 56 that a library may
  /// lack; null then, or while none is loaded.
  void* clean_workspace = nullptr;

  /// The library's float missing value, from GetMissingFloat once ready.
  float missing_float = 0.0f;
  /// kGioMissingInt once the library is ready.
  int32_t missing_int = 0;

  /// The server log, set by the request handler; not owned, may be null.
  IGSvrLog* log = nullptr;
  /// The window through which every layer is read and written; not valid
  /// (all 0) until an ApplyWindow succeeds.
  AccessWindow window;
  /// Base directory for names the cache and GridCreate resolve.
  std::string workspace;
};

// The one instance.
GIOState& GioState();

}  // namespace grd_svr

#endif  // MIRL_SERVER_GIO_STATE_H_
