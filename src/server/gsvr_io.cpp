#include "server/gsvr_io.h"

#include <boost/format.hpp>
#include <boost/make_shared.hpp>
#include <sstream>

#include "platform/debug_output.h"
#include "protocol/packet_names.h"
#include "server/gio.h"
#include "server/gio_lock.h"
#include "server/gio_state.h"
#include "server/grid_names.h"
#include "server/layer_cache.h"
#include "logging/multi_log.h"

namespace grd_svr {
namespace {

// Critical section A without the request trace lines, for the handler's own
// construction and destruction.
class StateLock {
 public:
  StateLock() { GioState().critical_a.Enter(); }
  ~StateLock() { GioState().critical_a.Leave(); }
  StateLock(const StateLock&) = delete;
  StateLock& operator=(const StateLock&) = delete;
};

const std::string kReplyPrefix = std::string(23, ' ') + "<- ";

}  // namespace

CGSvrIO::CGSvrIO(const std::string& source_name, std::int32_t io_mode, IGSvrLog* log)
    : m_IOMode(io_mode), m_SourceName(source_name), m_Log(log) {
  {
    StateLock lock;
    GioState().log = log;
    // A server or session that opens the workspace clears what writers
    // killed before it left there.
    if (!source_name.empty()) CGIO::CleanWorkspace(source_name);
  }
  mirl::platform::DebugOutput("Constructing CGSvrIO");
}

CGSvrIO::~CGSvrIO() {
  mirl::platform::DebugOutput("Destructing CGSvrIO");
  if (m_Log == nullptr) return;
  // The cache and the process-wide state outlive the session whose logger
  // this is; they must not keep a pointer to it.
  StateLock lock;
  if (GioState().log == m_Log) GioState().log = nullptr;
  DetachLogger(m_Log);
}

boost::shared_ptr<CGSvrPacket> CGSvrIO::MakeReply(const boost::shared_ptr<CGSvrPacket>& packet,
                                                  IGSvrLog* log, std::int32_t code) {
  packet->SetActionType(atResponse);
  packet->SetErrorCode(code);
  if (log != nullptr) {
    log->Log(boost::str(boost::format("%s | %s | %s | %s") % ActionIdName(packet->GetActionID()) %
                        ActionTypeName(packet->GetActionType()) %
                        Printable(packet->GetClientHost()) %
                        ErrorCodeName(code)),
             true, true);
    std::ostringstream fields;
    packet->PrintFields(kReplyPrefix, &fields);
    log->Log(fields.str(), false, true);
    log->Flush();
  }
  if (code != ErrNone && code != ErrGridAccessWindowExists) packet->ClearData();
  return packet;
}

CGSvrIO::Packet CGSvrIO::Reply(const Packet& request, std::int32_t code) const {
  return MakeReply(request, m_Log, code);
}

boost::shared_ptr<CGSvrPacket> CGSvrIO::HandleRequest(boost::shared_ptr<CGSvrPacket> request,
                                                      std::string& error_text) {
  if (!request) {
    Packet reply = boost::make_shared<CGSvrPacket>(atResponse, ErrorReport, kPacketSignature);
    reply->SetErrorCode(ErrPackNull);
    return reply;
  }
  // The server log has no lock of its own, so its lines are written under
  // critical section A as well, the request line included.
  CriticalGuardA guard;
  try {
    if (m_Log != nullptr)
      m_Log->Log(boost::str(boost::format("%s | %s | %s") % ActionIdName(request->GetActionID()) %
                            ActionTypeName(request->GetActionType()) %
                            Printable(request->GetClientHost())),
                 true, true);
    const std::string refusal = PacketNameRefusal(*request);
    if (!refusal.empty()) return RefuseName(request, refusal);
    return Dispatch(request, error_text);
  } catch (...) {
  }
  try {
    return Reply(request, ErrUnknown);
  } catch (...) {
    // Even the reply's log failed: the reply itself must still go out.
    request->SetActionType(atResponse);
    request->SetErrorCode(ErrUnknown);
    request->ClearData();
    return request;
  }
}

CGSvrIO::Packet CGSvrIO::RefuseName(const Packet& request, const std::string& refusal) const {
  if (m_Log != nullptr)
    m_Log->Log(boost::str(boost::format("Refused a request from %s: %s") %
                          Printable(request->GetClientHost()) % refusal),
               true, true);
  // The reply's fields go to the log as well; a name must not start a line
  // of its own there.
  ForEachPacketName(*request, [](std::string& name, NameRole) {
    name = Printable(name);
    return true;
  });
  return Reply(request, ErrPackMalformed);
}

CGSvrIO::Packet CGSvrIO::Dispatch(const Packet& request, std::string& error_text) {
  switch (request->GetActionID()) {
    case GridLoad:
      return OnGridLoad(request, error_text);
    case GridWrite:
      return OnGridWrite(request, error_text);
    case GridKill:
      return OnGridKill(request, error_text);
    case BlockLoad:
      return OnBlockLoad(request, error_text);
    case BlockWrite:
      return OnBlockWrite(request, error_text);
    case PingServer:
      return OnPingServer(request, error_text);
    case GridDescribe:
      return OnGridDescribe(request, error_text);
    case GridCreate:
      return OnGridCreate(request, error_text);
    case GridList:
      return OnGridList(request, error_text);
    case AccWndSet:
      return OnAccWndSet(request, error_text);
    case AccWndMake:
      return OnAccWndMake(request, error_text);
    case GridCopy:
      return OnGridCopy(request, error_text);
    case GridServerRetire:
      return OnGridServerRetire(request, error_text);
    case AccWndGet:
      return OnAccWndGet(request, error_text);
    default:
      return Reply(request, ErrPackFunction);
  }
}

}  // namespace grd_svr
