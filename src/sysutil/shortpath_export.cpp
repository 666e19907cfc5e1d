#include <string>

#include "exports/sysutil_api.h"
#include "session/export_frame.h"
#include "logging/log.h"
#include "sysutil/short_path_copy.h"

namespace {
const char* const kName = "shortpath";
}  // namespace

MIRL_API int shortpath(const char* long_path, char* short_path) {
  using namespace mirl;
  using namespace mirl::sysutil;
  // -860 for a failure is outside this export's -881..-885 on purpose: it is
  // the code callers of the utilities already handle for any of them.
  return run_guarded(
      [&]() -> int {
        log_entering(kName);
        if (long_path == nullptr) return log_returned(kName, -881);
        if (short_path == nullptr) return log_returned(kName, -882);
        if (ShortPathBufferTooSmall(short_path)) return log_returned(kName, -885);
        return CopyShortPath(long_path, short_path);
      },
      -860);
}
