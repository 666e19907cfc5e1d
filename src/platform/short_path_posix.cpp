#include "platform/short_path.h"

#include <stdlib.h>

#include <memory>

#include "platform/path_separator.h"

namespace mirl {
namespace platform {

bool ShortPathName(const std::string& path, std::string* short_path) {
  if (path.empty()) return false;
  const std::string native = ToNativePath(path);
  std::unique_ptr<char, decltype(&free)> resolved(realpath(native.c_str(), nullptr), &free);
  if (resolved == nullptr) return false;
  *short_path = resolved.get();
  return true;
}

}  // namespace platform
}  // namespace mirl
