#include "platform/sleep.h"

#include <cerrno>
#include <ctime>

namespace mirl {
namespace platform {

void SleepMilliseconds(int milliseconds) {
  if (milliseconds <= 0) return;
  timespec left;
  left.tv_sec = milliseconds / 1000;
  left.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  // A signal cuts nanosleep short; the rest of the pause is still owed.
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace platform
}  // namespace mirl
