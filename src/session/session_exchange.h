// The one road every grid export's request takes: over TCP to a remote grid
// server (io mode 1) or, as the packet object itself, to the in-process
// request handler (io mode 2).
//
// Thread safety: none; uses the process-wide session record unguarded, on
// the host's single calling thread.
#ifndef MIRL_SESSION_SESSION_EXCHANGE_H_
#define MIRL_SESSION_SESSION_EXCHANGE_H_

#include <boost/shared_ptr.hpp>

#include "protocol/packet.h"

namespace mirl {
namespace session {

// Session codes of the exchange.
constexpr int kExchangeFailed = -620;  // exception on either road
constexpr int kNoSessionOpen = -630;
constexpr int kNoReply = -631;
// The host's interrupt check ended the wait for the server (gridinit_waits).
constexpr int kInterrupted = -632;

// Carries packet over the session's road. On return packet holds the reply,
// or is empty when the road brought none (kNoReply). Returns the reply's
// m_ErrorCode (1 or a grid server code), or kNoSessionOpen (packet as it
// was), kNoReply, kInterrupted or kExchangeFailed (packet as it was; the
// session stays open after an interrupt). The reply is not
// checked here: callers use checked_packet_cast. Never throws.
int session_exchange(boost::shared_ptr<grd_svr::CGSvrPacket>& packet) noexcept;

}  // namespace session
}  // namespace mirl

#endif  // MIRL_SESSION_SESSION_EXCHANGE_H_
