#include "sysutil/free_space.h"

#include <cstdint>
#include <limits>

#include "platform/disk_space.h"

namespace mirl {
namespace sysutil {

int FreeSpaceMillions(const std::string& pattern) {
  std::uint64_t bytes = 0;
  if (!platform::AvailableBytes(pattern, &bytes)) return 0;
  const std::uint64_t millions = bytes / 1000000;
  constexpr std::uint64_t kMax = std::numeric_limits<std::int32_t>::max();
  return static_cast<int>(millions > kMax ? kMax : millions);
}

}  // namespace sysutil
}  // namespace mirl
