// What the library does when the system loads and unloads it (the hook
// itself is the platform's: platform/library_entry.h).
#include "platform/library_entry.h"

#include "exports/mirl_lib.h"
#include "platform/debug_output.h"
#include "session/session_record.h"

namespace mirl {
namespace platform {

int OnLibraryEvent(int reason, bool process_ending) {
  switch (reason) {
    case kProcessDetach:
      clean_up();
      // The grid library goes with this one, as it came with it. Not when
      // the process ends on Windows: the loader may already have detached
      // it, and freeing a library then is unsafe; the process's end frees
      // it anyway. (On POSIX it makes itself safe to exit at process end,
      // when the loader may have finalised it, and GDAL, before this hook.)
      if (process_ending) break;
      try {
        mirl::session::ReleaseGridLibrary();
      } catch (...) {
      }
      break;
    case kProcessAttach:
      DebugOutput("DLL_PROCESS_ATTACH");
      break;
    case kThreadAttach:
      DebugOutput("DLL_THREAD_ATTACH");
      break;
    case kThreadDetach:
      DebugOutput("DLL_THREAD_DETACH");
      break;
  }
  return 1;
}

}  // namespace platform
}  // namespace mirl
