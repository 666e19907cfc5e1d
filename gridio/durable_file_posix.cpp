#include "durable_file.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace gridio {

namespace fs = std::filesystem;

bool CommitFile(const std::string& file, const std::string& target) {
  std::error_code ec;
  fs::create_directories(fs::path(target).parent_path(), ec);
  if (ec) return false;
  // rename(2) replaces target atomically: no moment without one of the two.
  return std::rename(file.c_str(), target.c_str()) == 0;
}

// Asked of the kernel, not through getpid(): in a program linked against
// mirl_lib, which exports a getpid of its own that writes to the session
// log, a call by name would bind to that one.
long CurrentProcessId() { return static_cast<long>(::syscall(SYS_getpid)); }

}  // namespace gridio
