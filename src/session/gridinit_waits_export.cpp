#include "exports/grid_api.h"
#include "logging/log.h"
#include "session/session_record.h"
#include "transport/host_waits.h"
#include "transport/tcp_client.h"

namespace {

const char* const kName = "gridinit_waits";

// Beyond these a wait is a mistake rather than patience: a day of pauses.
constexpr int kMostAttempts = 10000;
constexpr int kLongestWaitMs = 24 * 60 * 60 * 1000;

}  // namespace

MIRL_API int gridinit_waits(int attempts, int pause_ms, int connect_timeout_ms,
                            int (*interrupted)(void)) {
  using mirl::log_returned;
  try {
    mirl::log_entering(kName);
    if (attempts < 1 || attempts > kMostAttempts) return log_returned(kName, -633);
    if (pause_ms < 0 || pause_ms > kLongestWaitMs) return log_returned(kName, -634);
    if (connect_timeout_ms < 1 || connect_timeout_ms > kLongestWaitMs)
      return log_returned(kName, -635);
    grd_svr::SetHostWaits(attempts, pause_ms, connect_timeout_ms, interrupted);
    // The open session's client waits so from its next exchange on.
    auto* client = dynamic_cast<grd_svr::CGSvrClient*>(mirl::session::Session().client.get());
    if (client != nullptr) client->SetTiming(grd_svr::HostTiming());
    return log_returned(kName, 1);
  } catch (...) {
    return -620;
  }
}
