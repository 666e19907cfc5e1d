#include "request_handler.h"

#include <boost/format.hpp>
#include <boost/make_shared.hpp>
#include <exception>
#include <new>

#include "protocol/framing.h"
#include "protocol/packet_names.h"
#include "root_guard.h"
#include "protocol/packets.h"
#include "server/access_window.h"
#include "server/gio_lock.h"
#include "server/gio_state.h"
#include "server/grid_names.h"
#include "logging/multi_log.h"

namespace grid_server {

using grd_svr::CGSvrIO;
using grd_svr::CGSvrPacket;

RequestHandler::RequestHandler(const std::string& root, grd_svr::IGSvrLog* log)
    : m_Root(root), m_Log(log), m_IO(root, 1, log) {}

namespace {

// Cells of 4 bytes (integer or float) that a reply may carry and still fit
// in one frame.
constexpr std::uint64_t kMaxReplyCells = grd_svr::kMaxFrameLength / 4;

// The most cells the reply to request may carry, known before it is served:
// a block read carries its block, a whole-grid read the access window (the
// shape of every Solid grid). Zero for every other request.
std::uint64_t ReplyCellsAsked(const CGSvrPacket& request) {
  if (request.GetActionID() == grd_svr::BlockLoad) {
    auto block = dynamic_cast<const grd_svr::CGSvrPk_BlockOp*>(&request);
    if (block == nullptr || block->m_RowCount < 0 || block->m_ColCount < 0) return 0;
    return static_cast<std::uint64_t>(block->m_RowCount) *
           static_cast<std::uint64_t>(block->m_ColCount);
  }
  if (request.GetActionID() == grd_svr::GridLoad) {
    grd_svr::CriticalGuardA guard;
    const grd_svr::AccessWindow& window = grd_svr::GioState().window;
    if (!window.IsValid()) return 0;
    return static_cast<std::uint64_t>(window.m_Rows) * static_cast<std::uint64_t>(window.m_Columns);
  }
  return 0;
}

}  // namespace

HandlerReply RequestHandler::HandlePayload(const void* data, std::size_t size,
                                           const std::string& client) {
  Packet request;
  // Each client is answered in the layout it wrote (a 32-bit client writes
  // 4-byte size fields), also when its payload is refused.
  grd_svr::WireLayout layout = grd_svr::NativeWireLayout();
  if (grd_svr::DecodePacket(data, size, request, &layout))
    return RefuseFrame(grd_svr::ErrPackMalformed, "its payload does not decode", client, layout);
  Packet reply;
  if (request && ReplyCellsAsked(*request) > kMaxReplyCells) {
    // Refused before anything is allocated for it: a request of a few bytes
    // must not make the server fill gigabytes it could never send.
    reply = Refuse(request, client, "its reply would be longer than the largest frame",
                   grd_svr::ErrGridTooBig);
  } else {
    std::string error_text;
    reply = m_IO.HandleRequest(request, error_text);
  }
  NameRepliesRelativeToRoot(*reply, m_Root);
  return Encode(reply, layout);
}

HandlerReply RequestHandler::RefuseFrame(std::int32_t code, const std::string& reason,
                                         const std::string& client, grd_svr::WireLayout layout) {
  Packet reply = boost::make_shared<CGSvrPacket>(grd_svr::atResponse, grd_svr::ErrorReport,
                                                 grd_svr::kPacketSignature);
  {
    grd_svr::CriticalGuardA guard;
    NoteLocked(boost::str(boost::format("Refused a request from %s: %s") % client % reason));
    CGSvrIO::MakeReply(reply, m_Log, code);
  }
  return Encode(reply, layout);
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

RequestHandler::Packet RequestHandler::Refuse(const Packet& request, const std::string& client,
                                              const std::string& reason, std::int32_t code) {
  grd_svr::CriticalGuardA guard;
  if (m_Log != nullptr)
    m_Log->Log(
        boost::str(boost::format("%s | %s | %s") % grd_svr::ActionIdName(request->GetActionID()) %
                   grd_svr::ActionTypeName(request->GetActionType()) %
                   grd_svr::Printable(request->GetClientHost())),
        true, true);
  NoteLocked(boost::str(boost::format("Refused a request from %s: %s") % client % reason));
  return CGSvrIO::MakeReply(request, m_Log, code);
}

HandlerReply RequestHandler::Encode(const Packet& reply, grd_svr::WireLayout layout) {
  HandlerReply out;
  out.retire = reply->GetActionID() == grd_svr::GridServerRetire &&
               reply->GetActionType() == grd_svr::atResponse &&
               reply->GetErrorCode() == grd_svr::ErrNone;
  std::int32_t fallback = grd_svr::ErrNone;
  try {
    grd_svr::EncodePacketPieces(reply, out.payload, layout);
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
  grd_svr::EncodePacketPieces(reply, out.payload, layout);
  if (grd_svr::FormatFrameHeader(out.payload.size(), out.header)) return HandlerReply();
  out.packet = reply;
  return out;
}

}  // namespace grid_server
