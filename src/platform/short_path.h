// The system's short form of a path (GetShortPathNameA on Windows). POSIX
// file systems have no short names; there the short form is the path's
// canonical absolute form, every link and "." or ".." resolved. Separators as
// in path_separator.h.
//
// Thread safety: may be called from any thread; a relative path is resolved
// against the current directory at the time of the call.
#ifndef MIRL_PLATFORM_SHORT_PATH_H_
#define MIRL_PLATFORM_SHORT_PATH_H_

#include <string>

namespace mirl {
namespace platform {

// Stores the short form of path, with no length limit. False when the
// system cannot give one (for example the path does not exist).
bool ShortPathName(const std::string& path, std::string* short_path);

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_SHORT_PATH_H_
