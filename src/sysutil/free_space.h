// fileinfo's free-space figure.
//
// Thread safety: may be called from any thread.
#ifndef MIRL_SYSUTIL_FREE_SPACE_H_
#define MIRL_SYSUTIL_FREE_SPACE_H_

#include <string>

namespace mirl {
namespace sysutil {

// Millions of bytes (remainder dropped) available on the file system that
// holds pattern (see platform::AvailableBytes); 0 when it cannot be asked,
// 2147483647 when the figure does not fit 32 bits.
int FreeSpaceMillions(const std::string& pattern);

}  // namespace sysutil
}  // namespace mirl

#endif  // MIRL_SYSUTIL_FREE_SPACE_H_
