#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace mirl {
namespace platform {

const char* const kLibrarySuffix = ".so";

LibraryHandle LoadDynamicLibrary(const std::string& path) {
  if (path.empty()) return nullptr;
  // RTLD_LOCAL keeps the grid library's symbols from interposing on anything
  // the host loads afterwards; RTLD_NOW makes a library with unresolved
  // dependencies fail here rather than at its first call.
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindLibrarySymbol(LibraryHandle library, const char* name) {
  if (library == nullptr || name == nullptr) return nullptr;
  return dlsym(library, name);
}

void UnloadDynamicLibrary(LibraryHandle library) {
  if (library != nullptr) dlclose(library);
}

}  // namespace platform
}  // namespace mirl
