// Facts about the calling process.
//
// Thread safety: may be called from any thread.
#ifndef MIRL_PLATFORM_PROCESS_INFO_H_
#define MIRL_PLATFORM_PROCESS_INFO_H_

namespace mirl {
namespace platform {

// The identifier of the calling process (GetCurrentProcessId on Windows),
// asked afresh on every call, so a forked child sees its own.
int CurrentProcessId();

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_PROCESS_INFO_H_
