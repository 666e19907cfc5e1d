// Pausing the calling thread (Sleep on Windows).
//
// Thread safety: may be called from any thread; only the caller waits.
#ifndef MIRL_PLATFORM_SLEEP_H_
#define MIRL_PLATFORM_SLEEP_H_

namespace mirl {
namespace platform {

// Blocks the calling thread for at least the given number of milliseconds;
// zero or a negative count returns at once.
void SleepMilliseconds(int milliseconds);

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_SLEEP_H_
