// A shared library that reports where ModuleDirectory, compiled into it,
// says it was loaded from.
#include <string>

#include "exports/mirl_api.h"
#include "platform/module_path.h"

MIRL_API const char* ProbeModuleDirectory() {
  static std::string directory;
  directory = mirl::platform::ModuleDirectory();
  return directory.c_str();
}
