#include "platform/short_path.h"

#include <windows.h>

#include <vector>

#include "platform/path_separator.h"

namespace mirl {
namespace platform {

bool ShortPathName(const std::string& path, std::string* short_path) {
  if (path.empty()) return false;
  const std::string native = ToNativePath(path);
  // The first call measures (terminator included); the short form can
  // still change between the calls, so a second result that does not fit
  // counts as a failure rather than a cut path.
  const DWORD needed = GetShortPathNameA(native.c_str(), nullptr, 0);
  if (needed == 0) return false;
  std::vector<char> buffer(needed + 1, '\0');
  const DWORD written =
      GetShortPathNameA(native.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (written == 0 || written >= buffer.size()) return false;
  short_path->assign(buffer.data(), written);
  return true;
}

}  // namespace platform
}  // namespace mirl
