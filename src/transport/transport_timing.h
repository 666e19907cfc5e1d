// Every pause and time-out of the TCP client in one place. The defaults are
// the ones the library ships with; tests shorten them through
// CGSvrClient::SetTiming, which no export reaches.
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
};

}  // namespace grd_svr

#endif  // MIRL_TRANSPORT_TRANSPORT_TIMING_H_
