#include "session/session_exchange.h"

#include <string>

#include "server/gsvr_io.h"
#include "session/session_record.h"
#include "transport/exchange_interrupted.h"
#include "transport/gsvr_client.h"

namespace mirl {
namespace session {

int session_exchange(boost::shared_ptr<grd_svr::CGSvrPacket>& packet) noexcept {
  try {
    SessionRecord& s = Session();
    // The handler only fills it when a request is of the wrong class; the
    // caller's own reply check reports that case.
    std::string error_text;
    boost::shared_ptr<grd_svr::CGSvrPacket> reply;
    if (s.io_mode == kRemoteServer) {
      if (s.client) reply = s.client->Exchange(packet);
    } else if (s.io_mode == kInProcessServer) {
      if (s.handler) reply = s.handler->HandleRequest(packet, error_text);
    } else {
      return kNoSessionOpen;
    }
    packet = reply;
    if (!packet) return kNoReply;
    return packet->GetErrorCode();
  } catch (const grd_svr::ExchangeInterrupted&) {
    return kInterrupted;
  } catch (...) {
    return kExchangeFailed;
  }
}

}  // namespace session
}  // namespace mirl
