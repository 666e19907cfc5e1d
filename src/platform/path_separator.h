// Path separators. Paths reach the library from host scripts written for
// either system, so "/" and "\" both separate path components on every
// platform; a POSIX file name that itself contains "\" cannot be addressed.
//
// Thread safety: pure functions.
#ifndef MIRL_PLATFORM_PATH_SEPARATOR_H_
#define MIRL_PLATFORM_PATH_SEPARATOR_H_

#include <string>

namespace mirl {
namespace platform {

// True for "/" and "\".
bool IsPathSeparator(char c);

// The separator the system writes between components ("/" on POSIX).
char NativePathSeparator();

// The path with every separator replaced by the native one.
std::string ToNativePath(const std::string& path);

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_PATH_SEPARATOR_H_
