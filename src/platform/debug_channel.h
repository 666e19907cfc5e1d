// The system's own debugger string channel, beneath DebugOutput
// (debug_output.h), which adds the test sink. One file per platform.
//
// Thread safety: may be called from any thread.
#ifndef MIRL_PLATFORM_DEBUG_CHANNEL_H_
#define MIRL_PLATFORM_DEBUG_CHANNEL_H_

#include <string>

namespace mirl {
namespace platform {

// OutputDebugStringA on Windows; POSIX has no such channel and drops the text.
void WriteDebugChannel(const std::string& text);

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_DEBUG_CHANNEL_H_
