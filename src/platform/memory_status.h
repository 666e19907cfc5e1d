// Available physical memory: what the system could hand a process without
// swapping. Windows reports GlobalMemoryStatusEx's ullAvailPhys (free plus
// standby pages); Linux reports MemAvailable of /proc/meminfo, which likewise
// counts reclaimable page cache (free RAM alone drops as the cache fills).
//
// Tests pin the figure with SetAvailablePhysicalMemoryOverride so that code
// sized from it behaves the same on any machine.
//
// AdviseLargePages asks the system to back a large, not yet touched block
// with large pages, so that filling it takes a few page faults instead of
// one per 4 KiB; it changes nothing a program can observe but speed.
// Thread safety: every function may be called from any thread.
#ifndef MIRL_PLATFORM_MEMORY_STATUS_H_
#define MIRL_PLATFORM_MEMORY_STATUS_H_

#include <cstddef>
#include <cstdint>

namespace mirl {
namespace platform {

// Available physical memory in bytes: the override when one is set, else the
// system's figure; 0 when the system cannot be asked.
std::uint64_t AvailablePhysicalMemory();

// Installed physical memory in bytes; 0 when the system cannot be asked.
std::uint64_t TotalPhysicalMemory();

// Makes AvailablePhysicalMemory return bytes until cleared. Test use only.
void SetAvailablePhysicalMemoryOverride(std::uint64_t bytes);

// Returns AvailablePhysicalMemory to the system's figure.
void ClearAvailablePhysicalMemoryOverride();

// A hint for the bytes at data (whole pages inside them only); ignored where
// the system has no such advice or refuses it.
void AdviseLargePages(void* data, std::size_t bytes);

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_MEMORY_STATUS_H_
