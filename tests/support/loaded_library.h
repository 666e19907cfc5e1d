// The built mirl_lib (.so or .dll) loaded at run time, as R's dyn.load
// does, so that its exports are reached through the dynamic symbol table
// only (a test program linking the objects directly would let exports such
// as getpid interpose the C library's for the whole process).
#ifndef MIRL_TESTS_SUPPORT_LOADED_LIBRARY_H_
#define MIRL_TESTS_SUPPORT_LOADED_LIBRARY_H_

#include <stdexcept>
#include <string>

#include "platform/dynamic_library.h"

namespace mirl_test {

class LoadedLibrary {
 public:
  explicit LoadedLibrary(const std::string& path = MIRL_LIB_PATH) {
    handle_ = mirl::platform::LoadDynamicLibrary(path);
    if (handle_ == nullptr) throw std::runtime_error("cannot load " + path);
  }
  ~LoadedLibrary() {
#if !defined(__SANITIZE_ADDRESS__)
    // Under AddressSanitizer the library stays mapped: its never-freed
    // process-wide state would otherwise be reported as leaked.
    mirl::platform::UnloadDynamicLibrary(handle_);
#endif
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // The export named name as a pointer to function type F; null when absent.
  template <typename F>
  F find(const char* name) const {
    return reinterpret_cast<F>(mirl::platform::FindLibrarySymbol(handle_, name));
  }
  void* handle() const { return handle_; }

 private:
  void* handle_ = nullptr;
};

}  // namespace mirl_test

#endif  // MIRL_TESTS_SUPPORT_LOADED_LIBRARY_H_
