#include "sysutil/search_pattern.h"

#include <cstring>

#include "platform/path_separator.h"
#include "sysutil/sysutil_limits.h"

namespace mirl {
namespace sysutil {

bool BuildSearchPattern(const char* path, std::string* pattern) {
  const std::size_t length = strnlen(path, kMaxPatternLength + 1);
  if (length > kMaxPatternLength) return false;
  const bool directory = length > 0 && platform::IsPathSeparator(path[length - 1]);
  if (length + (directory ? 1 : 0) > kMaxPatternLength) return false;
  pattern->assign(path, length);
  if (directory) pattern->push_back('*');
  return true;
}

}  // namespace sysutil
}  // namespace mirl
