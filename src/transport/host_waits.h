// The waits a host asked for, process-wide: how many attempts an exchange
// makes, the pause between them, how long a connect may take, and the
// host's interrupt check. Nothing asked, they are the designed ones (25
// attempts, 10 s apart, no check). The TCP clients made after a change take
// the new waits; clean_up restores the designed ones.
//
// Thread safety: none; the host's single calling thread.
#ifndef MIRL_TRANSPORT_HOST_WAITS_H_
#define MIRL_TRANSPORT_HOST_WAITS_H_

#include "transport/transport_timing.h"

namespace grd_svr {

// The timing every new TCP client starts with.
const TransportTiming& HostTiming();

// Replaces the host's part of it: attempts (at least 1), pause between
// attempts (at least 0 ms), connect time-out (at least 1 ms) and the
// interrupt check (may be null). The caller checks the ranges.
void SetHostWaits(int attempts, int pause_ms, int connect_timeout_ms, int (*interrupted)());

// Back to the designed waits.
void ResetHostWaits();

}  // namespace grd_svr

#endif  // MIRL_TRANSPORT_HOST_WAITS_H_
