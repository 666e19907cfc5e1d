#include "sysutil/computer_name.h"

#include <cstring>

#include "sysutil/sysutil_limits.h"

namespace mirl {
namespace sysutil {

int StoreComputerName(const std::string& name, char* buffer) {
  if (name.empty()) {
    buffer[0] = '\0';
    return -542;
  }
  // Windows forms its computer name from the first 15 characters of the host
  // name in the same way, so a long host name cuts rather than fails.
  const std::size_t length =
      name.size() < kComputerNameBytes ? name.size() : kComputerNameBytes - 1;
  std::memcpy(buffer, name.data(), length);
  buffer[length] = '\0';
  return 1;
}

}  // namespace sysutil
}  // namespace mirl
