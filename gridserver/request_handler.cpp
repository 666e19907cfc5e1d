#include "request_handler.h"

#include <boost/format.hpp>
#include <boost/make_shared.hpp>
#include <exception>
#include <new>

#include "protocol/framing.h"
#include "protocol/packet_names.h"
#include "root_guard.h"
#include "server/gio_lock.h"
#include "session/multi_log.h"

namespace grid_server {

using grd_svr::CGSvrIO;
using grd_svr::CGSvrPacket;

RequestHandler::RequestHandler(const std::string& root, grd_svr::IGSvrLog* log)
    : m_Root(root), m_Log(log), m_IO(root, 1, log) {}

HandlerReply RequestHandler::HandlePayload(const void* data, std::size_t size,
                                           const std::string& client) {
  Packet request;
  if (grd_svr::DecodePacket(data, size, request))
    return RefuseFrame(grd_svr::ErrPackMalformed, "its payload does not decode", client);
  Packet reply;
  if (request && !PacketStaysInRoot(*request)) {
    reply = RefuseOutsideRoot(request, client);
  } else {
    std::string error_text;
    reply = m_IO.HandleRequest(request, error_text);
  }
  return Encode(reply);
}

HandlerReply RequestHandler::RefuseFrame(std::int32_t code, const std::string& reason,
                                         const std::string& client) {
  Packet reply = boost::make_shared<CGSvrPacket>(grd_svr::atResponse, grd_svr::ErrorReport,
                                                 grd_svr::kPacketSignature);
  {
    grd_svr::CriticalGuardA guard;
    NoteLocked(boost::str(boost::format("Refused a request from %s: %s") % client % reason));
    CGSvrIO::MakeReply(reply, m_Log, code);
  }
  return Encode(reply);
}

void RequestHandler::Note(const std::string& text) {
  grd_svr::CriticalGuardA guard;
  NoteLocked(text);
}

void RequestHandler::NoteLocked(const std::string& text) {
  if (m_Log == nullptr) return;
  m_Log->Log(text, true, true);
  m_Log->Flush();
}

RequestHandler::Packet RequestHandler::RefuseOutsideRoot(const Packet& request,
                                                         const std::string& client) {
  grd_svr::CriticalGuardA guard;
  if (m_Log != nullptr)
    m_Log->Log(
        boost::str(boost::format("%s | %s | %s") % grd_svr::ActionIdName(request->GetActionID()) %
                   grd_svr::ActionTypeName(request->GetActionType()) % request->GetClientHost()),
        true, true);
  NoteLocked(boost::str(boost::format("Refused a request from %s: a name or path leaves the root") %
                        client));
  return CGSvrIO::MakeReply(request, m_Log, grd_svr::ErrPackMalformed);
}

HandlerReply RequestHandler::Encode(const Packet& reply) {
  HandlerReply out;
  out.retire = reply->GetActionID() == grd_svr::GridServerRetire &&
               reply->GetActionType() == grd_svr::atResponse &&
               reply->GetErrorCode() == grd_svr::ErrNone;
  std::int32_t fallback = grd_svr::ErrNone;
  try {
    grd_svr::EncodePacketPieces(reply, out.payload);
    if (!grd_svr::FormatFrameHeader(out.payload.size(), out.header)) {
      out.packet = reply;
      return out;
    }
    fallback = grd_svr::ErrGridTooBig;
  } catch (const std::bad_alloc&) {
    fallback = grd_svr::ErrGridMemAlloc;
  } catch (const std::exception&) {
    fallback = grd_svr::ErrUnknown;
  }
  // The reply is lost either way; one without its cells at least tells the
  // client why.
  out = HandlerReply();
  {
    grd_svr::CriticalGuardA guard;
    NoteLocked(boost::str(boost::format("The reply to %s could not be sent whole; sent as %s") %
                          grd_svr::ActionIdName(reply->GetActionID()) %
                          grd_svr::ErrorCodeName(fallback)));
  }
  reply->ClearData();
  reply->SetErrorCode(fallback);
  grd_svr::EncodePacketPieces(reply, out.payload);
  if (grd_svr::FormatFrameHeader(out.payload.size(), out.header)) return HandlerReply();
  out.packet = reply;
  return out;
}

}  // namespace grid_server
