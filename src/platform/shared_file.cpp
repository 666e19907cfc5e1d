#include "platform/shared_file.h"

namespace mirl {
namespace platform {

// POSIX files carry no sharing modes. On Windows, mingw's libstdc++ opens a
// file stream through the C runtime's fopen, which opens with _SH_DENYNO:
// other handles may read and write the file meanwhile. Either way the plain
// append-mode open is the shared one.
void OpenSharedForAppend(std::ofstream& stream, const std::string& path) {
  stream.open(path, std::ios::out | std::ios::app);
}

}  // namespace platform
}  // namespace mirl
