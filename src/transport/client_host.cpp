#include "transport/client_host.h"

#include "platform/host_info.h"

namespace grd_svr {

std::string ClientHostName() {
  // A name too long for the buffer makes the system call fail rather than
  // cut it, so it is treated as no name.
  const std::string name = mirl::platform::ComputerName();
  if (name.empty() || name.size() > kMaxClientHostLength) return "unknown";
  return name;
}

}  // namespace grd_svr
