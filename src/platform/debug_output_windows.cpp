#include <windows.h>

#include "platform/debug_channel.h"

namespace mirl {
namespace platform {

void WriteDebugChannel(const std::string& text) { OutputDebugStringA(text.c_str()); }

}  // namespace platform
}  // namespace mirl
