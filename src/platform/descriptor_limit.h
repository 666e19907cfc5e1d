// The number of descriptors (files and sockets) this process may hold open
// at once: RLIMIT_NOFILE on POSIX. Windows has no such per-process limit on
// sockets; its version reports wanted as granted.
//
// Thread safety: may be called from any thread; the limit is process-wide.
#ifndef MIRL_PLATFORM_DESCRIPTOR_LIMIT_H_
#define MIRL_PLATFORM_DESCRIPTOR_LIMIT_H_

#include <cstddef>

namespace mirl {
namespace platform {

// Raises the soft limit to at least wanted, as far as the hard limit allows
// (it is never lowered), and returns the soft limit in force afterwards.
std::size_t RaiseDescriptorLimit(std::size_t wanted);

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_DESCRIPTOR_LIMIT_H_
