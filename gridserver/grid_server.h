// The grid server: listens on one TCP address, accepts connections from the
// allowed clients (at most max_connections at once, as far as the descriptor
// limit can be raised for them; more wait in the listen queue; connections
// from other addresses are closed unread and counted), and stops on a
// granted retire request or on SIGTERM/SIGINT. Stopping takes the
// connections the system has already accepted for it and closes the
// acceptor; every request received whole is answered, requests still
// arriving are read for shutdown_grace_ms more and then answered with
// ErrGridIOException (Connection::Expire), and connections that have sent
// nothing by then are closed. A second signal ends the grace at once, a
// third closes every connection. Run() returns once every connection is
// gone.
//
// The bytes of all incomplete requests together stay within
// max_pending_bytes (pending_budget.h).
//
// Construction does everything that can fail (an address beyond loopback
// without an explicit allow-list, root, grid library, log, binding the
// address) and throws StartError; once constructed the server
// listens, so clients may connect before Run() is called.
//
// Ownership: owns the grid library holder, the server log, the request
// handler, the connections and the handling thread. The process-wide state
// of the in-process server (window, cache) is shared by every server in a
// process; a program runs one.
// Thread safety: Run() on one thread; Stop() from any thread.
#ifndef MIRL_GRIDSERVER_GRID_SERVER_H_
#define MIRL_GRIDSERVER_GRID_SERVER_H_

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/shared_ptr.hpp>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "connection.h"
#include "connection_manager.h"
#include "pending_budget.h"
#include "request_handler.h"
#include "request_queue.h"
#include "server_options.h"

namespace grd_svr {
class IGIO;
class IGSvrLog;
}  // namespace grd_svr

namespace grid_server {

enum class StopReason { kRetired, kSignal, kStopped };

class GridServer {
 public:
  explicit GridServer(const ServerOptions& options);
  ~GridServer();
  GridServer(const GridServer&) = delete;
  GridServer& operator=(const GridServer&) = delete;

  unsigned short port() const { return m_Port; }
  const std::string& address() const { return m_Address; }
  const std::string& root() const { return m_Root; }

  // Serves until the server stops; returns why.
  StopReason Run();
  // Stops the server as a signal would.
  void Stop();

 private:
  void Accept();
  // Starts a connection for socket, accepted from m_Peer, or closes it
  // when the peer is not an allowed client.
  void Admit(boost::asio::ip::tcp::socket socket);
  // Takes every connection that the system has accepted and not yet
  // handed over, up to the connection limit.
  void TakeAccepted();
  void WaitForSignal();
  void Shutdown(StopReason reason);
  void NoteRefusal(const std::string& peer);
  void OnConnectionLeft();
  void Finish();

  ServerOptions m_Options;
  std::string m_Root;
  boost::shared_ptr<grd_svr::IGIO> m_Library;
  boost::shared_ptr<grd_svr::IGSvrLog> m_Log;
  std::unique_ptr<RequestHandler> m_Handler;

  // Before the io_context, so that connections that go with the handlers
  // it still holds can give their bytes back.
  PendingBudget m_Budget;
  boost::asio::io_context m_IO;
  boost::asio::signal_set m_Signals;
  boost::asio::ip::tcp::acceptor m_Acceptor;
  boost::asio::ip::tcp::endpoint m_Peer;
  boost::asio::steady_timer m_AcceptPause;
  boost::asio::steady_timer m_Grace;
  ConnectionManager m_Manager;
  RequestQueue m_Queue;
  ConnectionLimits m_Limits;

  std::string m_Address;
  unsigned short m_Port = 0;
  std::size_t m_MaxConnections = 0;
  std::size_t m_Refused = 0;
  std::chrono::steady_clock::time_point m_LastRefusalNote;
  bool m_Accepting = false;
  bool m_Stopping = false;
  int m_StopSignals = 0;
  bool m_Finished = false;
  StopReason m_Reason = StopReason::kStopped;
};

}  // namespace grid_server

#endif  // MIRL_GRIDSERVER_GRID_SERVER_H_
