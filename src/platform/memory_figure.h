// The system's own figure for available physical memory, beneath
// AvailablePhysicalMemory (memory_status.h), which adds the test override.
// One file per platform.
//
// Thread safety: may be called from any thread.
#ifndef MIRL_PLATFORM_MEMORY_FIGURE_H_
#define MIRL_PLATFORM_MEMORY_FIGURE_H_

#include <cstdint>

namespace mirl {
namespace platform {

// Bytes of physical memory available; 0 when the system cannot be asked.
std::uint64_t SystemAvailablePhysicalMemory();

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_MEMORY_FIGURE_H_
