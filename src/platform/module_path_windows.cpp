#include "platform/module_path.h"

#include <windows.h>

namespace mirl {
namespace platform {

std::string ModuleDirectory() {
  HMODULE module = nullptr;
  // The module that holds this very function: the DLL when the code is in
  // mirl_lib.dll, the program otherwise. No reference is taken.
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&ModuleDirectory), &module)) {
    return std::string();
  }
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
  // A result that fills the buffer may have been cut.
  if (n == 0 || n >= MAX_PATH) return std::string();
  const std::string file(path, n);
  const std::string::size_type cut = file.find_last_of("\\/");
  if (cut == std::string::npos) return std::string();
  // "C:\" keeps its separator; any other directory loses it.
  return file.substr(0, cut == 2 && file[1] == ':' ? cut + 1 : cut);
}

}  // namespace platform
}  // namespace mirl
