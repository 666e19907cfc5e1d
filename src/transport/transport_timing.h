// Every pause and time-out of the TCP client in one place. The defaults are
// the ones the library ships with; tests shorten them through
// CGSvrClient::SetTiming, and a host may ask for fewer attempts, shorter
// pauses and an interrupt check through gridinit_waits (host_waits.h).
#ifndef MIRL_TRANSPORT_TRANSPORT_TIMING_H_
#define MIRL_TRANSPORT_TRANSPORT_TIMING_H_

#include "protocol/framing.h"

namespace grd_svr {

struct TransportTiming {
  // Attempts of one Exchange before it gives up with an empty reply.
  int max_attempts = 25;
  // Pause after every attempt, before looking for the reply.
  int short_pause_ms = 7;
  // Pause between a failed attempt and the next one.
  int long_pause_ms = 10000;
  // The real pause before each encoding retry; the protocol counts its own
  // figure into the connection's wait whatever this is.
  int encode_retry_pause_ms = kEncodeRetryPauseMs;
  // Longest wait for one address to accept a connection. The stock TCP
  // connect time-out of Windows (about 21 s) gives up before this does.
  int connect_timeout_ms = 30000;
  // Longest silence while writing the request or reading the reply: the
  // time-out is reset by every byte that moves, so a large grid on a slow
  // link never hits it, while a server that takes minutes to prepare a big
  // reply still has them.
  int silence_timeout_ms = 300000;
  // Asked while the client waits (on the socket or in a pause between
  // attempts), every interrupt_poll_ms, when set: a non-zero answer ends
  // the exchange with ExchangeInterrupted. Without one the client waits as
  // designed, deaf to the host until the exchange is over.
  int (*interrupted)() = nullptr;
  int interrupt_poll_ms = 100;
};

}  // namespace grd_svr

#endif  // MIRL_TRANSPORT_TRANSPORT_TIMING_H_
