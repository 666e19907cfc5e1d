#include "platform/host_info.h"

#include <windows.h>

namespace mirl {
namespace platform {

std::string ComputerName() {
  // The NetBIOS name never exceeds MAX_COMPUTERNAME_LENGTH characters.
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof(name);
  if (!GetComputerNameA(name, &size)) return std::string();
  return std::string(name, size);
}

}  // namespace platform
}  // namespace mirl
