// Critical section A: the one lock of the in-process grid server. A request
// holds it for its whole handling (the reply included); everything in
// GIOState, the layer cache and the memory grids is touched only under it.
//
// Entering writes "Entering critical: A" and leaving writes "Leaving
// critical: A" to the debugger output, the first once the lock is held and
// the second while it is still held, so the trace lines nest per holder.
// The lock is re-entrant for the thread that holds it.
#ifndef MIRL_SERVER_GIO_LOCK_H_
#define MIRL_SERVER_GIO_LOCK_H_

namespace grd_svr {

class CriticalGuardA {
 public:
  CriticalGuardA();
  ~CriticalGuardA();
  CriticalGuardA(const CriticalGuardA&) = delete;
  CriticalGuardA& operator=(const CriticalGuardA&) = delete;
};

}  // namespace grd_svr

#endif  // MIRL_SERVER_GIO_LOCK_H_
