// Run-time loading of a shared library by file name and lookup of its
// exported functions: LoadLibraryA / GetProcAddress / FreeLibrary on Windows,
// dlopen / dlsym / dlclose on POSIX.
//
// Ownership: a non-null handle from LoadDynamicLibrary holds one reference to
// the library; UnloadDynamicLibrary gives it back. The library stays mapped
// while any reference is held, so symbols found through a handle are valid
// only until that handle is unloaded.
// Thread safety: the calls may be made from any thread.
#ifndef MIRL_PLATFORM_DYNAMIC_LIBRARY_H_
#define MIRL_PLATFORM_DYNAMIC_LIBRARY_H_

#include <string>

namespace mirl {
namespace platform {

using LibraryHandle = void*;

// The file-name suffix of a shared library on this platform (".so", ".dll").
extern const char* const kLibrarySuffix;

// Loads the library at path (a bare file name uses the loader's search
// rules); null when it cannot be loaded. All its symbols are bound at load
// time and none is made visible to libraries loaded later.
LibraryHandle LoadDynamicLibrary(const std::string& path);

// The address of the exported symbol name, or null when it is absent or the
// handle is null.
void* FindLibrarySymbol(LibraryHandle library, const char* name);

// Gives back the reference taken by LoadDynamicLibrary; null is ignored.
void UnloadDynamicLibrary(LibraryHandle library);

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_DYNAMIC_LIBRARY_H_
