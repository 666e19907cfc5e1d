// What the library does when the system loads and unloads it (the hook
// itself is the platform's: platform/library_entry.h).
#include "platform/library_entry.h"

#include "exports/mirl_lib.h"
#include "platform/debug_output.h"

namespace mirl {
namespace platform {

int OnLibraryEvent(int reason) {
  switch (reason) {
    case kProcessDetach:
      clean_up();
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
