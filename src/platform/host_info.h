// Facts about the machine the library runs on.
//
// Thread safety: may be called from any thread.
#ifndef MIRL_PLATFORM_HOST_INFO_H_
#define MIRL_PLATFORM_HOST_INFO_H_

#include <string>

namespace mirl {
namespace platform {

// The computer's name (GetComputerNameA on Windows, the host's node name on
// POSIX), complete however long it is; callers with a fixed-size field cut
// it themselves. Empty when the system cannot tell it.
std::string ComputerName();

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_HOST_INFO_H_
