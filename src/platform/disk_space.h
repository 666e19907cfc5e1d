// Free space of a file system (the C runtime's _getdiskfree on Windows).
//
// Thread safety: may be called from any thread.
#ifndef MIRL_PLATFORM_DISK_SPACE_H_
#define MIRL_PLATFORM_DISK_SPACE_H_

#include <cstdint>
#include <string>

namespace mirl {
namespace platform {

// Stores the bytes available to the caller on the file system that holds
// pattern (a path or search pattern as in file_query.h). Windows takes the
// drive from the pattern's leading letter, else the current drive. POSIX
// takes the file system of the path itself, else of its directory part, else
// of the current directory, whichever is found first. Byte counts beyond
// 64 bits saturate. False when none of them can be asked.
bool AvailableBytes(const std::string& pattern, std::uint64_t* bytes);

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_DISK_SPACE_H_
