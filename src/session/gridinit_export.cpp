#include <boost/format.hpp>
#include <boost/make_shared.hpp>
#include <string>

#include "exports/grid_api.h"
#include "protocol/checked_packet_cast.h"
#include "protocol/control_packets.h"
#include "server/gio_holder.h"
#include "server/gsvr_io.h"
#include "logging/log.h"
#include "logging/multi_log.h"
#include "session/session_record.h"
#include "session/session_roads.h"
#include "session/session_exchange.h"
#include "transport/exchange_interrupted.h"
#include "transport/gsvr_client.h"

namespace {

using mirl::log_returned;
using namespace mirl::session;

const char* const kName = "gridinit";

// A failing gridinit leaves no session behind; the code is logged only if
// the log is still open, which after the clean-up it is not.
int Fail(int code) {
  try {
    RunCleanUpSteps();
  } catch (...) {
  }
  return log_returned(kName, code);
}

void LogParameters(int io_mode, const char* source_name, int source_port, int do_log) {
  if (!mirl::session_log_open()) return;
  mirl::log_line(boost::str(boost::format("  Session parameters"
                                          "\n                           io_mode    : %d"
                                          "\n                           source_name: %s"
                                          "\n                           source_port: %d"
                                          "\n                           do_log     : %d") %
                            io_mode % source_name % source_port % do_log));
}

int OpenRemote(SessionRecord& s) {
  try {
    if (s.source_name.empty()) return Fail(-624);
    s.client = CurrentClientFactory()(s.source_name, s.source_port, &s.session_log);
    if (!s.client) return Fail(-628);
    boost::shared_ptr<grd_svr::CGSvrPacket> ping =
        boost::make_shared<grd_svr::CGSvrPk_PingServer>(grd_svr::atRequest);
    const boost::shared_ptr<grd_svr::CGSvrPacket> reply = s.client->Exchange(ping);
    std::string error_text;
    // The reply's error code is not examined: any answer of the right form
    // shows that a grid server is there.
    if (grd_svr::checked_packet_cast<grd_svr::CGSvrPk_PingServer>(reply, grd_svr::atResponse,
                                                                  error_text) == nullptr)
      return Fail(-625);
    return log_returned(kName, 1);
  } catch (const grd_svr::ExchangeInterrupted&) {
    return Fail(kInterrupted);
  } catch (...) {
    return Fail(-629);
  }
}

int OpenInProcess(SessionRecord& s, const char* source_name) {
  try {
    // A holder whose library could not be loaded is replaced, so that a
    // library installed since is found without restarting the host.
    if (s.gio_holder && !s.gio_holder->IsReady()) s.gio_holder.reset();
    if (!s.gio_holder) s.gio_holder.reset(new grd_svr::CGIO_Holder());
    if (s.gio_holder && s.gio_holder->IsReady())
      s.handler = boost::make_shared<grd_svr::CGSvrIO>(std::string(source_name), kInProcessServer,
                                                       s.server_log.get());
    if (!s.handler) return Fail(-627);
    return log_returned(kName, 1);
  } catch (...) {
    return Fail(-626);
  }
}

}  // namespace

MIRL_API int gridinit(int io_mode, const char* source_name, int source_port, int do_log) {
  SessionRecord& s = Session();
  try {
    if (do_log != 0 && s.io_mode == kNoSession) {
      s.server_log = grd_svr::make_server_log(false, true, kServerLogName);
      OpenSessionLog();
    }
  } catch (...) {
    return Fail(-620);
  }
  try {
    mirl::log_entering(kName);
    if (io_mode < kRemoteServer || io_mode > kInProcessServer) return log_returned(kName, -621);
    if (source_name == nullptr) return log_returned(kName, -622);
    if (s.io_mode != kNoSession) return log_returned(kName, -623);
  } catch (...) {
    // Nothing was changed yet, and an open session must stay open.
    return -620;
  }
  try {
    s.io_mode = io_mode;
    s.source_name = source_name;
    s.source_port = source_port > 0 ? source_port : kDefaultPort;
    LogParameters(io_mode, source_name, source_port, do_log);
    if (io_mode == kRemoteServer) return OpenRemote(s);
    return OpenInProcess(s, source_name);
  } catch (...) {
    return Fail(-620);
  }
}
