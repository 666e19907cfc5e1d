#include "platform/process_info.h"

#include <windows.h>

namespace mirl {
namespace platform {

int CurrentProcessId() { return static_cast<int>(GetCurrentProcessId()); }

}  // namespace platform
}  // namespace mirl
