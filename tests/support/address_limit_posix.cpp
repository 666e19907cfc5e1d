#include "support/address_limit.h"

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

namespace mirl_test {

bool CanLimitAddressSpace() { return true; }

void LimitAddressSpace(std::size_t extra_bytes) {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  statm >> pages;
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max =
      static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + extra_bytes;
  setrlimit(RLIMIT_AS, &limit);
}

}  // namespace mirl_test
