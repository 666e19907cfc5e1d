// Where the code that is running was loaded from: the directory of the shared
// library (or program) that contains this function, so that companion files
// installed beside the library are found without environment variables or a
// particular current directory.
//
// Thread safety: may be called from any thread.
#ifndef MIRL_PLATFORM_MODULE_PATH_H_
#define MIRL_PLATFORM_MODULE_PATH_H_

#include <string>

namespace mirl {
namespace platform {

// The absolute directory of the module that holds this code, without a
// trailing separator; empty when the platform cannot tell.
std::string ModuleDirectory();

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_MODULE_PATH_H_
