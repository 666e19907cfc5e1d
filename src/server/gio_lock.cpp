#include "server/gio_lock.h"

#include "platform/debug_output.h"
#include "server/gio_state.h"

namespace grd_svr {

CriticalGuardA::CriticalGuardA() {
  GioState().critical_a.Enter();
  mirl::platform::DebugOutput("Entering critical: A");
}

CriticalGuardA::~CriticalGuardA() {
  mirl::platform::DebugOutput("Leaving critical: A");
  GioState().critical_a.Leave();
}

}  // namespace grd_svr
