// shortpath's rules around the system's short form of a path: the least
// buffer the caller must show, and the most that is ever written.
//
// Thread safety: as platform::ShortPathName.
#ifndef MIRL_SYSUTIL_SHORT_PATH_COPY_H_
#define MIRL_SYSUTIL_SHORT_PATH_COPY_H_

#include <string>

namespace mirl {
namespace sysutil {

// A caller cannot tell the library how large its buffer is; what it can do
// (and what R does with a character argument) is hand over a buffer holding
// a string. A string of at least kShortPathBytes - 1 characters proves room
// for the longest short form and its terminator; anything shorter is refused.
// Reads at most kShortPathBytes - 1 bytes of buffer.
bool ShortPathBufferTooSmall(const char* buffer);

// Writes the short form of long_path with its terminator into out and
// returns 1; -883 when the system gives none (the path does not exist),
// -884 when it needs more than kShortPathBytes bytes. out is written only
// on success, never beyond kShortPathBytes bytes.
int CopyShortPath(const std::string& long_path, char* out);

}  // namespace sysutil
}  // namespace mirl

#endif  // MIRL_SYSUTIL_SHORT_PATH_COPY_H_
