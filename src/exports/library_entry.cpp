// The load/unload hook. The reasons follow the Windows entry point; on POSIX
// the loader's constructor and destructor hooks stand in for process attach
// and detach (there is no per-thread notice).
#include "exports/mirl_lib.h"
#include "platform/debug_output.h"
#include "session/session_record.h"

namespace {

enum LibraryEvent { kProcessDetach = 0, kProcessAttach = 1, kThreadAttach = 2, kThreadDetach = 3 };

int OnLibraryEvent(int reason) {
  switch (reason) {
    case kProcessDetach:
      clean_up();
      // The grid library goes with this one, as it came with it; it makes
      // itself safe to exit at process end, when the loader may have
      // finalised it (and GDAL) before this hook runs.
      try {
        mirl::session::ReleaseGridLibrary();
      } catch (...) {
      }
      break;
    case kProcessAttach:
      mirl::platform::DebugOutput("DLL_PROCESS_ATTACH");
      break;
    case kThreadAttach:
      mirl::platform::DebugOutput("DLL_THREAD_ATTACH");
      break;
    case kThreadDetach:
      mirl::platform::DebugOutput("DLL_THREAD_DETACH");
      break;
  }
  return 1;
}

// Process-wide state is held by never-destroyed objects, so clean_up here is
// safe whether ordinary static destructors have already run or not.
__attribute__((constructor)) void OnLoad() { OnLibraryEvent(kProcessAttach); }
__attribute__((destructor)) void OnUnload() { OnLibraryEvent(kProcessDetach); }

}  // namespace
