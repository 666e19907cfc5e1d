#include "platform/sleep.h"

#include <windows.h>

namespace mirl {
namespace platform {

void SleepMilliseconds(int milliseconds) {
  if (milliseconds <= 0) return;
  Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace platform
}  // namespace mirl
