#include "platform/descriptor_limit.h"

#include <sys/resource.h>

#include <algorithm>
#include <limits>

namespace mirl {
namespace platform {
namespace {

std::size_t AsSize(rlim_t value) {
  if (value == RLIM_INFINITY || value > std::numeric_limits<std::size_t>::max())
    return std::numeric_limits<std::size_t>::max();
  return static_cast<std::size_t>(value);
}

}  // namespace

std::size_t RaiseDescriptorLimit(std::size_t wanted) {
  rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  if (AsSize(limit.rlim_cur) >= wanted) return AsSize(limit.rlim_cur);
  rlimit raised = limit;
  raised.rlim_cur = limit.rlim_max == RLIM_INFINITY
                        ? static_cast<rlim_t>(wanted)
                        : std::min(static_cast<rlim_t>(wanted), limit.rlim_max);
  if (setrlimit(RLIMIT_NOFILE, &raised) != 0) return AsSize(limit.rlim_cur);
  return AsSize(raised.rlim_cur);
}

}  // namespace platform
}  // namespace mirl
