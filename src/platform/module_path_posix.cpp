#include "platform/module_path.h"

#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <stdlib.h>
#include <unistd.h>

namespace mirl {
namespace platform {
namespace {

std::string DirectoryOf(const std::string& file) {
  const std::string::size_type slash = file.rfind('/');
  if (slash == std::string::npos) return std::string();
  if (slash == 0) return "/";
  return file.substr(0, slash);
}

// The loader names the main program by an empty string (or argv[0]); the
// kernel knows its real path.
std::string MainProgramPath() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return std::string();
  buffer[n] = '\0';
  return buffer;
}

std::string Absolute(const std::string& file) {
  char buffer[PATH_MAX];
  if (realpath(file.c_str(), buffer) == nullptr) return std::string();
  return buffer;
}

std::string LocateModuleDirectory() {
  Dl_info info;
  struct link_map* map = nullptr;
  if (dladdr1(reinterpret_cast<void*>(&LocateModuleDirectory), &info,
              reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) {
    return std::string();
  }
  const bool main_program = map == nullptr || map->l_name == nullptr || map->l_name[0] == '\0';
  const std::string file = main_program ? MainProgramPath() : Absolute(map->l_name);
  return DirectoryOf(file);
}

// Taken while the module is being loaded: a library loaded by a relative path
// is known to the loader by that path, which means something else once the
// process changes its current directory.
const std::string kDirectoryAtLoad = LocateModuleDirectory();

}  // namespace

std::string ModuleDirectory() {
  if (!kDirectoryAtLoad.empty()) return kDirectoryAtLoad;
  return LocateModuleDirectory();
}

}  // namespace platform
}  // namespace mirl
