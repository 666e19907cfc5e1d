// The request handler of the in-process grid server: answers one request
// packet in place. The reply is the request object itself, turned into a
// response (action type atResponse) that carries the outcome in its error
// code and the results in its own fields; only an empty request gets a new
// packet (action ErrorReport, ErrPackNull). It knows nothing of sockets, so
// the in-process road (io mode 2) and a grid server program share it.
//
// Two base directories are in play: the source name is the base of GridKill,
// GridDescribe, GridList (without a root) and GridCopy, and is the workspace
// that the window requests install; the workspace (server/gio_state.h) is the
// base of the layers that the cache loads and of GridCreate. Names stay
// inside them: a request whose names server/grid_names.h refuses (absolute,
// climbing out through "..", naming the directory itself, or a new grid's
// name the catalogue could not give back) is answered with ErrPackMalformed
// and not served.
//
// Ownership: held by the session through a shared pointer; the logger is not
// owned and must outlive the handler (the handler detaches it from the
// process-wide state when it goes).
// Thread safety: HandleRequest may be called from any number of threads;
// requests are serialised by critical section A (server/gio_lock.h).
#ifndef MIRL_SERVER_GSVR_IO_H_
#define MIRL_SERVER_GSVR_IO_H_

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>

#include "protocol/packet.h"

namespace grd_svr {

class IGSvrLog;

class IGSvrIO {
 public:
  // Answers request; error_text receives the class check's message when the
  // request is not of the class and type its action calls for.
  virtual boost::shared_ptr<CGSvrPacket> HandleRequest(boost::shared_ptr<CGSvrPacket> request,
                                                       std::string& error_text) = 0;
  virtual ~IGSvrIO() {}
};

class CGSvrIO : public IGSvrIO {
 public:
  // Sets the process-wide logger to log; writes "Constructing CGSvrIO" to
  // the debugger output. io_mode 2 (in-process) forces every window request
  // to install a new window; io_mode 1 (a remote server) keeps the first
  // valid window and accepts GridServerRetire.
  CGSvrIO(const std::string& source_name, std::int32_t io_mode, IGSvrLog* log);
  // Writes "Destructing CGSvrIO"; detaches its logger from the process-wide
  // state and the cached grids.
  ~CGSvrIO() override;
  CGSvrIO(const CGSvrIO&) = delete;
  CGSvrIO& operator=(const CGSvrIO&) = delete;

  boost::shared_ptr<CGSvrPacket> HandleRequest(boost::shared_ptr<CGSvrPacket> request,
                                               std::string& error_text) override;

  // Turns packet into the reply with code: action type atResponse, the
  // reply lines logged when log is set, and the cells dropped (ClearData)
  // unless code is ErrNone or ErrGridAccessWindowExists. Returns packet.
  static boost::shared_ptr<CGSvrPacket> MakeReply(const boost::shared_ptr<CGSvrPacket>& packet,
                                                  IGSvrLog* log, std::int32_t code);

 private:
  using Packet = boost::shared_ptr<CGSvrPacket>;

  Packet Dispatch(const Packet& request, std::string& error_text);
  Packet Reply(const Packet& request, std::int32_t code) const;
  // The request answered with ErrPackMalformed, unserved, for a name that
  // grid_names.h refuses; refusal goes to the log.
  Packet RefuseName(const Packet& request, const std::string& refusal) const;

  Packet OnGridLoad(const Packet& request, std::string& error_text);
  Packet OnGridWrite(const Packet& request, std::string& error_text);
  Packet OnBlockLoad(const Packet& request, std::string& error_text);
  Packet OnBlockWrite(const Packet& request, std::string& error_text);
  Packet OnGridKill(const Packet& request, std::string& error_text);
  Packet OnGridDescribe(const Packet& request, std::string& error_text);
  Packet OnGridCreate(const Packet& request, std::string& error_text);
  Packet OnGridList(const Packet& request, std::string& error_text);
  Packet OnGridCopy(const Packet& request, std::string& error_text);
  Packet OnPingServer(const Packet& request, std::string& error_text);
  Packet OnGridServerRetire(const Packet& request, std::string& error_text);
  Packet OnAccWndSet(const Packet& request, std::string& error_text);
  Packet OnAccWndMake(const Packet& request, std::string& error_text);
  Packet OnAccWndGet(const Packet& request, std::string& error_text);

  /// Window requests install a new window even over a valid one.
  bool ForceWindow() const { return m_IOMode == 2; }

  std::int32_t m_IOMode;
  std::string m_SourceName;
  IGSvrLog* m_Log;
};

}  // namespace grd_svr

#endif  // MIRL_SERVER_GSVR_IO_H_
