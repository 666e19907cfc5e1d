#include "platform/memory_status.h"

#include <atomic>

#include "platform/memory_figure.h"

namespace mirl {
namespace platform {
namespace {

std::atomic<bool> g_overridden{false};
std::atomic<std::uint64_t> g_override_bytes{0};

}  // namespace

std::uint64_t AvailablePhysicalMemory() {
  if (g_overridden.load()) return g_override_bytes.load();
  return SystemAvailablePhysicalMemory();
}

void SetAvailablePhysicalMemoryOverride(std::uint64_t bytes) {
  g_override_bytes.store(bytes);
  g_overridden.store(true);
}

void ClearAvailablePhysicalMemoryOverride() { g_overridden.store(false); }

}  // namespace platform
}  // namespace mirl
