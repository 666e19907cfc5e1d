#include "platform/memory_status.h"

#include <windows.h>

#include "platform/memory_figure.h"

namespace mirl {
namespace platform {

std::uint64_t SystemAvailablePhysicalMemory() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof(status);
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullAvailPhys;
}

std::uint64_t TotalPhysicalMemory() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof(status);
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullTotalPhys;
}

void AdviseLargePages(void* data, std::size_t bytes) {
  // Large pages on Windows need a privilege and must be asked for when the
  // memory is allocated; there is no advice for memory already reserved.
  (void)data;
  (void)bytes;
}

}  // namespace platform
}  // namespace mirl
