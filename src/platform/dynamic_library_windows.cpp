#include "platform/dynamic_library.h"

#include <windows.h>

namespace mirl {
namespace platform {

const char* const kLibrarySuffix = ".dll";

LibraryHandle LoadDynamicLibrary(const std::string& path) {
  if (path.empty()) return nullptr;
  // A library that cannot be found or whose dependencies are missing fails
  // here, without the system's error box.
  const UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryA(path.c_str());
  SetErrorMode(old_mode);
  return reinterpret_cast<LibraryHandle>(module);
}

void* FindLibrarySymbol(LibraryHandle library, const char* name) {
  if (library == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void UnloadDynamicLibrary(LibraryHandle library) {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace platform
}  // namespace mirl
