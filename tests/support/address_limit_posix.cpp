#include "support/address_limit.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace mirl_test {

bool CanLimitAddressSpace() {
  // An emulator (qemu's user mode) takes the cap as one on itself and lets
  // the program it runs map past it; so whether the cap holds is tried,
  // once, in a child.
  static const bool can = [] {
    const pid_t child = fork();
    if (child == 0) {
      LimitAddressSpace(std::size_t{64} << 20);
      void* block = std::malloc(std::size_t{512} << 20);
      _exit(block == nullptr ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }();
  return can;
}

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
