// A shared library that reports where ModuleDirectory, compiled into it,
// says it was loaded from.
#include <string>

#include "platform/module_path.h"

extern "C" __attribute__((visibility("default"))) const char* ProbeModuleDirectory() {
  static std::string directory;
  directory = mirl::platform::ModuleDirectory();
  return directory.c_str();
}
