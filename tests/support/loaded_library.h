// The built mirl_lib.so loaded with dlopen, as R's dyn.load does, so that its
// exports are reached through the dynamic symbol table only (a test program
// linking the objects directly would let exports such as getpid interpose
// the C library's for the whole process).
#ifndef MIRL_TESTS_SUPPORT_LOADED_LIBRARY_H_
#define MIRL_TESTS_SUPPORT_LOADED_LIBRARY_H_

#include <dlfcn.h>

#include <stdexcept>
#include <string>

namespace mirl_test {

class LoadedLibrary {
 public:
  explicit LoadedLibrary(const std::string& path = MIRL_LIB_PATH) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) throw std::runtime_error(std::string("dlopen: ") + dlerror());
  }
  ~LoadedLibrary() {
#if !defined(__SANITIZE_ADDRESS__)
    // Under AddressSanitizer the library stays mapped: its never-freed
    // process-wide state would otherwise be reported as leaked.
    if (handle_ != nullptr) dlclose(handle_);
#endif
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // The export named name as a pointer to function type F; null when absent.
  template <typename F>
  F find(const char* name) const {
    return reinterpret_cast<F>(dlsym(handle_, name));
  }
  void* handle() const { return handle_; }

 private:
  void* handle_ = nullptr;
};

}  // namespace mirl_test

#endif  // MIRL_TESTS_SUPPORT_LOADED_LIBRARY_H_
