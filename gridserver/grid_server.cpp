#include "grid_server.h"

#include <boost/asio/ip/address.hpp>
#include <boost/asio/post.hpp>
#include <boost/format.hpp>
#include <chrono>
#include <csignal>
#include <utility>

#include "platform/descriptor_limit.h"
#include "platform/memory_status.h"
#include "server/gio.h"
#include "service_setup.h"
#include "logging/multi_log.h"

namespace grid_server {
namespace {

namespace asio = boost::asio;
using asio::ip::tcp;

// How long to wait before accepting again after the system refused to hand
// over a connection (out of descriptors): long enough not to spin.
constexpr std::chrono::milliseconds kAcceptRetryPause(100);

const char* ReasonText(StopReason reason) {
  switch (reason) {
    case StopReason::kRetired:
      return "retired by a client";
    case StopReason::kSignal:
      return "stopped by a signal";
    case StopReason::kStopped:
      break;
  }
  return "stopped";
}

// Descriptors the server needs besides its connections: the listening
// socket, the log, the grid library's files, the event loop's own.
constexpr std::size_t kSpareDescriptors = 64;

// At most one line per interval about refused connections, so that a
// scan of the port does not flood the log; the count stays exact.
constexpr std::chrono::seconds kRefusalNoteInterval(1);

asio::ip::address ListenAddress(const ServerOptions& options) {
  boost::system::error_code error;
  const asio::ip::address address = asio::ip::make_address(options.address, error);
  if (error) throw StartError("--address " + options.address + " is not an IP address");
  return address;
}

// The protocol has no authentication, so an address other machines can
// reach is served only to the clients the user has named.
const ServerOptions& CheckedOptions(const ServerOptions& options) {
  if (!options.allow_given && !ListenAddress(options).is_loopback())
    throw StartError("--address " + options.address +
                     " can be reached from other machines, and the protocol has no "
                     "authentication: name the clients that may connect with --allow "
                     "CIDR[,CIDR...] (--allow 0.0.0.0/0 admits anyone)");
  return options;
}

}  // namespace

GridServer::GridServer(const ServerOptions& options)
    : m_Options(CheckedOptions(options)),
      m_Root(ServedRoot(options.root)),
      m_Library(LoadGridLibrary(GridLibraryDirectory(options.gridio_dir))),
      m_Log(OpenServerLog(options.log_file)),
      m_Handler(new RequestHandler(m_Root, m_Log.get())),
      m_Budget(options.max_pending_bytes != 0
                   ? options.max_pending_bytes
                   : PendingBudget::DefaultLimit(mirl::platform::TotalPhysicalMemory(),
                                                 options.max_request_bytes)),
      m_Signals(m_IO, SIGINT, SIGTERM),
      m_Acceptor(m_IO),
      m_AcceptPause(m_IO),
      m_Grace(m_IO),
      m_Queue(*m_Handler, m_IO) {
  m_Limits.header_timeout_ms = options.header_timeout_ms;
  m_Limits.idle_timeout_ms = options.idle_timeout_ms;
  m_Limits.request_timeout_ms = options.request_timeout_ms;
  m_Limits.max_request_bytes = options.max_request_bytes;
  m_MaxConnections = static_cast<std::size_t>(options.max_connections);
  const std::size_t descriptors =
      mirl::platform::RaiseDescriptorLimit(m_MaxConnections + kSpareDescriptors);
  if (descriptors < m_MaxConnections + kSpareDescriptors) {
    m_MaxConnections = descriptors > kSpareDescriptors + 1 ? descriptors - kSpareDescriptors : 1;
    m_Handler->Note(boost::str(boost::format("The descriptor limit (%d) allows %d connections at "
                                             "once, not the %d asked for") %
                               descriptors % m_MaxConnections % options.max_connections));
  }

  const tcp::endpoint endpoint(ListenAddress(options), options.port);
  boost::system::error_code error;
  m_Acceptor.open(endpoint.protocol(), error);
  if (!error) m_Acceptor.set_option(tcp::acceptor::reuse_address(true), error);
  if (!error) m_Acceptor.bind(endpoint, error);
  if (!error) m_Acceptor.listen(asio::socket_base::max_listen_connections, error);
  if (error)
    throw StartError(boost::str(boost::format("cannot listen on %s:%d: %s") % options.address %
                                options.port % error.message()));
  m_Address = options.address;
  m_Port = m_Acceptor.local_endpoint().port();

  m_Manager.OnLeave([this] { OnConnectionLeft(); });
  m_Manager.OnRetired([this] { Shutdown(StopReason::kRetired); });
  m_Handler->Note(boost::str(boost::format("grid_server listening on %s:%d, root %s, clients %s, "
                                           "%d bytes for incomplete requests") %
                             m_Address % m_Port % m_Root % m_Options.allow.ToString() %
                             m_Budget.limit()));
}

GridServer::~GridServer() {
  // The connections and the handling thread go before the handler they use.
  m_Stopping = true;
  m_Manager.StopAll();
  m_Queue.Join();
}

StopReason GridServer::Run() {
  Accept();
  WaitForSignal();
  m_IO.run();
  m_Queue.Join();
  return m_Reason;
}

void GridServer::Stop() {
  asio::post(m_IO, [this] { Shutdown(StopReason::kStopped); });
}

void GridServer::Accept() {
  if (m_Stopping || m_Accepting) return;
  if (m_Manager.size() >= m_MaxConnections) return;
  m_Accepting = true;
  // The peer's address as accept reports it: a client that has already
  // reset the connection has it still, where asking the socket would fail.
  m_Acceptor.async_accept(m_Peer, [this](const boost::system::error_code& error,
                                         tcp::socket socket) {
    m_Accepting = false;
    if (error == asio::error::operation_aborted) return;
    if (error) {
      if (m_Stopping) return;
      m_AcceptPause.expires_after(kAcceptRetryPause);
      m_AcceptPause.async_wait([this](const boost::system::error_code& e) {
        if (!e) Accept();
      });
      return;
    }
    // Accepted before the server began to stop: its client is served.
    Admit(std::move(socket));
    Accept();
  });
}

void GridServer::Admit(tcp::socket socket) {
  boost::system::error_code ignored;
  if (!m_Options.allow.Admits(m_Peer.address())) {
    socket.close(ignored);
    NoteRefusal(m_Peer.address().to_string());
    return;
  }
  socket.set_option(tcp::no_delay(true), ignored);
  m_Manager.Start(
      std::make_shared<Connection>(std::move(socket), m_Manager, m_Queue, m_Budget, m_Limits));
}

void GridServer::TakeAccepted() {
  boost::system::error_code error;
  m_Acceptor.non_blocking(true, error);
  while (!error && m_Manager.size() < m_MaxConnections) {
    tcp::socket socket(m_IO);
    m_Acceptor.accept(socket, m_Peer, error);
    if (!error) Admit(std::move(socket));
  }
}

void GridServer::WaitForSignal() {
  m_Signals.async_wait([this](const boost::system::error_code& error, int number) {
    if (error) return;
    if (m_Stopping) {
      if (++m_StopSignals == 1) {
        m_Queue.Note(boost::str(boost::format("grid_server got signal %d again: the grace ends "
                                              "now") %
                                number));
        m_Grace.cancel();
        m_Manager.ExpireAll();
      } else {
        m_Queue.Note(boost::str(boost::format("grid_server got signal %d once more: closing "
                                              "every connection") %
                                number));
        m_Manager.StopAll();
      }
    } else {
      m_Queue.Note(boost::str(boost::format("grid_server got signal %d") % number));
      Shutdown(StopReason::kSignal);
    }
    if (!m_Finished) WaitForSignal();
  });
}

void GridServer::Shutdown(StopReason reason) {
  if (m_Stopping) return;
  m_Stopping = true;
  m_Reason = reason;
  m_Queue.Note(std::string("grid_server stopping: ") + ReasonText(reason));
  if (m_Refused > 0)
    m_Queue.Note(boost::str(boost::format("Refused %d connections from outside the allowed "
                                          "clients in all") %
                            m_Refused));
  // Connections the system has accepted are clients that have sent, or are
  // sending, a request: closing the acceptor would reset them unanswered.
  TakeAccepted();
  boost::system::error_code ignored;
  m_Acceptor.close(ignored);
  m_AcceptPause.cancel();
  if (m_Manager.size() == 0) {
    Finish();
    return;
  }
  m_Grace.expires_after(std::chrono::milliseconds(m_Options.shutdown_grace_ms));
  m_Grace.async_wait([this](const boost::system::error_code& error) {
    if (error) return;
    m_Queue.Note("grid_server: the shutdown grace has ended");
    m_Manager.ExpireAll();
  });
}

void GridServer::NoteRefusal(const std::string& peer) {
  ++m_Refused;
  const auto now = std::chrono::steady_clock::now();
  if (m_Refused > 1 && now - m_LastRefusalNote < kRefusalNoteInterval) return;
  m_LastRefusalNote = now;
  m_Queue.Note(boost::str(boost::format("Refused the connection from %s: not an allowed client "
                                        "(%d refused in all)") %
                          peer % m_Refused));
}

void GridServer::OnConnectionLeft() {
  if (!m_Stopping) {
    Accept();
    return;
  }
  if (m_Manager.size() == 0) Finish();
}

void GridServer::Finish() {
  if (m_Finished) return;
  m_Finished = true;
  m_Signals.cancel();
  m_Grace.cancel();
}

}  // namespace grid_server
