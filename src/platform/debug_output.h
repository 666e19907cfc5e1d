// Debugger output: the platform's channel for fixed one-line trace notices
// (library load, construction of the in-process server's objects, the
// request lock). On Windows it is OutputDebugStringA; on POSIX it writes
// nowhere. Every trace line goes through DebugOutput so that tests (and a
// Windows build) can see them.
//
// Thread safety: DebugOutput and SetDebugSink may be called from any thread.
#ifndef MIRL_PLATFORM_DEBUG_OUTPUT_H_
#define MIRL_PLATFORM_DEBUG_OUTPUT_H_

#include <string>

namespace mirl {
namespace platform {

// Writes one trace line to the debugger channel, and to the sink if one is set.
void DebugOutput(const std::string& text);

// Receives every trace line besides the platform channel. Test use only.
using DebugSink = void (*)(const std::string& text, void* context);

// Installs (or, with nullptr, removes) the sink. The context is passed back
// unchanged and must stay valid until the sink is removed.
void SetDebugSink(DebugSink sink, void* context);

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_DEBUG_OUTPUT_H_
