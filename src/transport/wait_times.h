// The bookkeeping of the client's pauses: 32-bit millisecond counters and
// the entry that reports them in the session log.
#ifndef MIRL_TRANSPORT_WAIT_TIMES_H_
#define MIRL_TRANSPORT_WAIT_TIMES_H_

#include <cstdint>
#include <string>

namespace grd_svr {

// Adds a pause to a counter. A client that lives long enough to wait more
// than 2^31 ms in total stays at the largest value instead of wrapping to a
// negative one.
void AddWait(std::int32_t& counter_ms, int pause_ms);

// "Communication wait times: LN[..] SN[..] TCL[..] TCO[..]\n", the two times
// in seconds with six decimals, each followed by the literal ".3 sec]".
std::string WaitTimesEntry(int long_waits, int short_waits, std::int32_t total_wait_ms,
                           std::int32_t connection_wait_ms);

}  // namespace grd_svr

#endif  // MIRL_TRANSPORT_WAIT_TIMES_H_
