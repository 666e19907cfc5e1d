#include "platform/disk_space.h"

#include <direct.h>

#include <limits>

namespace mirl {
namespace platform {
namespace {

// Drive 1 to 26 for a pattern that starts with a drive ("c:..."), else 0,
// the current drive. A bare leading letter is no drive: "grids\*" is a
// relative path on the current drive, not a path on drive G.
unsigned DriveNumber(const std::string& pattern) {
  if (pattern.size() < 2 || pattern[1] != ':') return 0;
  const char c = pattern[0];
  if (c >= 'a' && c <= 'z') return static_cast<unsigned>(c - 'a' + 1);
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned>(c - 'A' + 1);
  return 0;
}

}  // namespace

bool AvailableBytes(const std::string& pattern, std::uint64_t* bytes) {
  struct _diskfree_t space;
  if (_getdiskfree(DriveNumber(pattern), &space) != 0) return false;
  // Each factor is 32 bits: the product of all three can pass 64 bits only
  // in theory, but the check costs nothing.
  const std::uint64_t cluster =
      static_cast<std::uint64_t>(space.sectors_per_cluster) * space.bytes_per_sector;
  const std::uint64_t clusters = space.avail_clusters;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  *bytes = cluster != 0 && clusters > kMax / cluster ? kMax : clusters * cluster;
  return true;
}

}  // namespace platform
}  // namespace mirl
