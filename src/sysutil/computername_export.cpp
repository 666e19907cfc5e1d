#include "exports/sysutil_api.h"
#include "platform/host_info.h"
#include "session/export_frame.h"
#include "logging/log.h"
#include "sysutil/computer_name.h"

namespace {
const char* const kName = "computername";
}  // namespace

MIRL_API int computername(char* name) {
  using namespace mirl;
  const int code = run_guarded(
      [&]() -> int {
        log_entering(kName);
        if (name == nullptr) return log_returned(kName, -541);
        return sysutil::StoreComputerName(platform::ComputerName(), name);
      },
      -540);
  if (code == -540 && name != nullptr) name[0] = '\0';
  return code;
}
