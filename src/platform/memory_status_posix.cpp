#include "platform/memory_status.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/memory_figure.h"

namespace mirl {
namespace platform {
namespace {

// MemAvailable in bytes; 0 when the file or the line is missing (kernels
// before 3.14 lack it).
std::uint64_t MemAvailableFromProc() {
  std::FILE* file = std::fopen("/proc/meminfo", "r");
  if (file == nullptr) return 0;
  std::uint64_t bytes = 0;
  char line[256];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    unsigned long long kib = 0;
    if (std::strncmp(line, "MemAvailable:", 13) == 0 && std::sscanf(line + 13, "%llu", &kib) == 1) {
      bytes = static_cast<std::uint64_t>(kib) * 1024u;
      break;
    }
  }
  std::fclose(file);
  return bytes;
}

}  // namespace

std::uint64_t SystemAvailablePhysicalMemory() { return MemAvailableFromProc(); }

std::uint64_t TotalPhysicalMemory() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page);
}

void AdviseLargePages(void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  const long page = sysconf(_SC_PAGESIZE);
  if (data == nullptr || page <= 0) return;
  const std::uintptr_t mask = static_cast<std::uintptr_t>(page) - 1;
  const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(data) + mask) & ~mask;
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~mask;
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

}  // namespace platform
}  // namespace mirl
