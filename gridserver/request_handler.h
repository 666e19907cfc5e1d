// The grid server's request handler: turns the payload of one framed
// request into the framed reply, through a CGSvrIO in io mode 1 over the
// served root. It knows nothing of sockets; connections hand it bytes.
//
// What it adds to CGSvrIO: decoding and encoding, and replies for what
// never reached CGSvrIO (CGSvrIO itself keeps names inside the root, the
// same rule as in io mode 2: server/grid_names.h):
// - a payload that does not decode: an ErrorReport packet with
//   ErrPackMalformed (a null packet in the archive is the handler's own
//   case: ErrorReport with ErrPackNull);
// - a block read, or a whole-grid read of the access window, with more cells
//   than one frame could carry: answered with ErrGridTooBig before anything
//   is allocated for it;
// - a frame refused before its payload was read (bad header, too long): an
//   ErrorReport packet with the code the connection names;
// - a reply too long to frame: the reply's cells dropped and the code
//   ErrGridTooBig, so the client learns why instead of losing the reply.
// Every such refusal leaves a line in the server log. Replies name grids
// relative to the root (root_guard.h).
//
// Ownership: owns its CGSvrIO; the log is not owned, may be null and must
// outlive the handler. Needs a ready grid library binding (a CGIO_Holder)
// for as long as it serves.
// Thread safety: every member may be called from any thread; requests are
// serialised by CGSvrIO's lock (critical section A), which also guards the
// log lines written here.
#ifndef MIRL_GRIDSERVER_REQUEST_HANDLER_H_
#define MIRL_GRIDSERVER_REQUEST_HANDLER_H_

#include <boost/shared_ptr.hpp>
#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol/packet.h"
#include "protocol/payload_pieces.h"
#include "protocol/wire_layout.h"
#include "server/gsvr_io.h"

namespace grd_svr {
class IGSvrLog;
}

namespace grid_server {

struct HandlerReply {
  /// The frame header and the payload of the reply, kept apart so that a
  /// large reply is written as it was encoded, not copied into one string.
  std::string header;
  /// The payload refers to the reply packet's cells in place; the packet is
  /// held here until the reply has been sent.
  grd_svr::CPayloadPieces payload;
  boost::shared_ptr<grd_svr::CGSvrPacket> packet;
  /// The reply granted a GridServerRetire request: the server must stop
  /// once the reply has been sent.
  bool retire = false;

  /// No reply could be made.
  bool empty() const { return header.empty(); }
  std::size_t size() const { return header.size() + payload.size(); }
};

class RequestHandler {
 public:
  // root: the directory served, absolute; log: the server log or null.
  RequestHandler(const std::string& root, grd_svr::IGSvrLog* log);
  RequestHandler(const RequestHandler&) = delete;
  RequestHandler& operator=(const RequestHandler&) = delete;

  // The reply to the request payload of size bytes at data, in the wire
  // layout of the request. client names the peer in log lines. Throws only
  // std::bad_alloc.
  HandlerReply HandlePayload(const void* data, std::size_t size, const std::string& client);

  // The ErrorReport reply with code for a frame refused before decoding, in
  // layout (the server's own when the request's is not known); reason and
  // client go to the log.
  HandlerReply RefuseFrame(std::int32_t code, const std::string& reason, const std::string& client,
                           grd_svr::WireLayout layout = grd_svr::NativeWireLayout());

  // Writes one stamped line to the server log, if there is one.
  void Note(const std::string& text);

  const std::string& root() const { return m_Root; }

 private:
  using Packet = boost::shared_ptr<grd_svr::CGSvrPacket>;

  HandlerReply Encode(const Packet& reply, grd_svr::WireLayout layout);
  // The request answered with code, unserved; reason and client go to the log.
  Packet Refuse(const Packet& request, const std::string& client, const std::string& reason,
                std::int32_t code);
  void NoteLocked(const std::string& text);

  std::string m_Root;
  grd_svr::IGSvrLog* m_Log;
  grd_svr::CGSvrIO m_IO;
};

}  // namespace grid_server

#endif  // MIRL_GRIDSERVER_REQUEST_HANDLER_H_
