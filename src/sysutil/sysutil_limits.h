// Fixed sizes of the system utilities' strings, shared by the exports and
// their tests. Byte counts include the terminating zero.
#ifndef MIRL_SYSUTIL_SYSUTIL_LIMITS_H_
#define MIRL_SYSUTIL_SYSUTIL_LIMITS_H_

#include <cstddef>

namespace mirl {
namespace sysutil {

// fileinfo refuses a search pattern longer than this many characters.
constexpr std::size_t kMaxPatternLength = 257;
// fileinfo's time text, "dd Mon yyyy, hh:mm:ss:mmm", and its terminator.
constexpr std::size_t kTimeTextBytes = 26;
// Most that shortpath writes, and so the least buffer it accepts.
constexpr std::size_t kShortPathBytes = 259;
// Most that computername writes.
constexpr std::size_t kComputerNameBytes = 16;

}  // namespace sysutil
}  // namespace mirl

#endif  // MIRL_SYSUTIL_SYSUTIL_LIMITS_H_
