#include "platform/process_info.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace mirl {
namespace platform {

int CurrentProcessId() {
  // The library exports a function named getpid, which shadows the C
  // library's inside any process that binds to it; calling getpid here could
  // land on that export and recurse. The kernel is asked directly instead.
  return static_cast<int>(syscall(SYS_getpid));
}

}  // namespace platform
}  // namespace mirl
