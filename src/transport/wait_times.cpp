#include "transport/wait_times.h"

#include <limits>

#include <boost/format.hpp>

namespace grd_svr {

void AddWait(std::int32_t& counter_ms, int pause_ms) {
  if (pause_ms <= 0) return;
  const std::int32_t room = std::numeric_limits<std::int32_t>::max() - counter_ms;
  counter_ms = pause_ms > room ? std::numeric_limits<std::int32_t>::max() : counter_ms + pause_ms;
}

std::string WaitTimesEntry(int long_waits, int short_waits, std::int32_t total_wait_ms,
                           std::int32_t connection_wait_ms) {
  // "%f.3" is "%f" followed by the text ".3": the log has always read so.
  return (boost::format("Communication wait times: LN[%d] SN[%d] TCL[%f.3 sec] TCO[%f.3 sec]\n") %
          long_waits % short_waits % (total_wait_ms / 1000.0) % (connection_wait_ms / 1000.0))
      .str();
}

}  // namespace grd_svr
