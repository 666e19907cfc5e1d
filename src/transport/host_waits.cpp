#include "transport/host_waits.h"

namespace grd_svr {
namespace {

TransportTiming& Timing() {
  static TransportTiming timing;
  return timing;
}

}  // namespace

const TransportTiming& HostTiming() { return Timing(); }

void SetHostWaits(int attempts, int pause_ms, int connect_timeout_ms, int (*interrupted)()) {
  TransportTiming& timing = Timing();
  timing.max_attempts = attempts;
  timing.long_pause_ms = pause_ms;
  timing.connect_timeout_ms = connect_timeout_ms;
  timing.interrupted = interrupted;
}

void ResetHostWaits() { Timing() = TransportTiming(); }

}  // namespace grd_svr
