#include "sysutil/short_path_copy.h"

#include <cstring>

#include "platform/short_path.h"
#include "sysutil/sysutil_limits.h"

namespace mirl {
namespace sysutil {

bool ShortPathBufferTooSmall(const char* buffer) {
  return strnlen(buffer, kShortPathBytes - 1) < kShortPathBytes - 1;
}

int CopyShortPath(const std::string& long_path, char* out) {
  std::string short_path;
  if (!platform::ShortPathName(long_path, &short_path)) return -883;
  if (short_path.size() + 1 > kShortPathBytes) return -884;
  std::memcpy(out, short_path.c_str(), short_path.size() + 1);
  return 1;
}

}  // namespace sysutil
}  // namespace mirl
