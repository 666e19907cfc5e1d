#include "platform/host_info.h"

#include <sys/utsname.h>

namespace mirl {
namespace platform {

std::string ComputerName() {
  // uname gives the whole node name; gethostname may refuse or cut a long one.
  struct utsname names;
  if (uname(&names) != 0) return std::string();
  return std::string(names.nodename);
}

}  // namespace platform
}  // namespace mirl
