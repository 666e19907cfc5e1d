// getpid lives here, in the shared library's own objects only: linked into a
// program directly it would stand in for the C library's getpid throughout
// that program.
#include "exports/sysutil_api.h"
#include "platform/process_info.h"
#include "logging/log.h"

namespace {
const char* const kName = "getpid";
}  // namespace

MIRL_API int getpid(void) MIRL_GETPID_NOEXCEPT {
  try {
    mirl::log_entering(kName);
  } catch (...) {
    // The identifier is still worth returning when the log line is not.
  }
  return mirl::platform::CurrentProcessId();
}

// The same function under a name only this library sees. A call to getpid
// by name from inside the library binds, at run time, to whichever getpid
// the process found first, usually the C library's; R_getpid must reach
// this one.
extern "C" MIRL_INTERNAL __attribute__((alias("getpid"))) int mirl_own_getpid(void)
    MIRL_GETPID_NOEXCEPT;
