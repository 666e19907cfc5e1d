// Log files are opened for appending in shared mode: existing content stays,
// every write goes to the end, and other processes may read and write the
// file while it is open.
//
// Thread safety: as std::ofstream; one stream per thread.
#ifndef MIRL_PLATFORM_SHARED_FILE_H_
#define MIRL_PLATFORM_SHARED_FILE_H_

#include <fstream>
#include <string>

namespace mirl {
namespace platform {

// Opens path on stream (which must be closed) for appending in shared mode;
// stream.is_open() tells whether it worked.
void OpenSharedForAppend(std::ofstream& stream, const std::string& path);

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_SHARED_FILE_H_
