#include "platform/disk_space.h"

#include <sys/statvfs.h>

#include <limits>

#include "platform/path_separator.h"

namespace mirl {
namespace platform {
namespace {

bool AvailableOn(const std::string& path, std::uint64_t* bytes) {
  struct statvfs vfs;
  if (path.empty() || statvfs(path.c_str(), &vfs) != 0) return false;
  const unsigned __int128 total =
      static_cast<unsigned __int128>(vfs.f_bavail) * static_cast<unsigned __int128>(vfs.f_frsize);
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  *bytes = total > kMax ? kMax : static_cast<std::uint64_t>(total);
  return true;
}

}  // namespace

bool AvailableBytes(const std::string& pattern, std::uint64_t* bytes) {
  const std::string path = ToNativePath(pattern);
  if (AvailableOn(path, bytes)) return true;
  const std::size_t cut = path.rfind('/');
  if (cut != std::string::npos && AvailableOn(cut == 0 ? "/" : path.substr(0, cut), bytes))
    return true;
  return AvailableOn(".", bytes);
}

}  // namespace platform
}  // namespace mirl
