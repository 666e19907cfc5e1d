#include "platform/path_separator.h"

namespace mirl {
namespace platform {

bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

char NativePathSeparator() { return '\\'; }

std::string ToNativePath(const std::string& path) {
  std::string native(path);
  for (char& c : native)
    if (c == '/') c = '\\';
  return native;
}

}  // namespace platform
}  // namespace mirl
