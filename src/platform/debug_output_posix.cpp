#include "platform/debug_channel.h"

namespace mirl {
namespace platform {

// POSIX has no debugger string channel; the line only reaches a test sink.
void WriteDebugChannel(const std::string&) {}

}  // namespace platform
}  // namespace mirl
