// The TCP client of a remote grid server (io mode 1). Every Exchange opens
// a new connection per attempt, sends the framed request, reads the framed
// reply and closes the connection; a failed attempt is retried up to 25
// times, 10 s apart. What went wrong is collected and, when the exchange is
// over, written to the session log with a line of waiting statistics.
//
// All socket work runs inside the client's io_context on the thread that
// calls Exchange; the client starts no threads.
//
// Memory: the client keeps the message buffer of its last exchange (as
// large as the largest message it has sent or received, at most the
// protocol's maximum frame) and lends it to the next one, so that a series
// of grid exchanges does not pay the first-touch cost of fresh memory each
// time. It is freed with the client.
//
// Ownership: the log stream belongs to the session record and must outlive
// the client (it may be closed; then nothing is written). The client owns
// its io_context and every connection. Thread safety: none; one thread at a
// time.
#ifndef MIRL_TRANSPORT_TCP_CLIENT_H_
#define MIRL_TRANSPORT_TCP_CLIENT_H_

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/system/error_code.hpp>

#include "protocol/packet.h"
#include "transport/gsvr_client.h"
#include "transport/transport_timing.h"

namespace grd_svr {

class CGSvrCommPack;

class CGSvrClient : public IGSvrClient {
 public:
  using Endpoints = std::vector<boost::asio::ip::tcp::endpoint>;
  // Turns host and port into the addresses to try, in order; throws when
  // the name cannot be resolved.
  using Resolver = std::function<Endpoints(const std::string& host, const std::string& port)>;

  CGSvrClient(const std::string& server_host, const std::string& server_port,
              std::ofstream* log_stream);
  ~CGSvrClient() override;

  // Stamps the request's m_ClientHost with this computer's name and carries
  // it to the server. Returns the reply, whatever its m_ErrorCode, or an
  // empty pointer after max_attempts failed attempts. Throws when the
  // server's name cannot be resolved, when the request cannot be encoded
  // (after the protocol's retries), for an empty request, and at once, with
  // no further attempt, when the request or the reply is longer than any
  // frame (the reply's "Read error: " line is logged first). Throws
  // ExchangeInterrupted, the connection closed, when the timing's interrupt
  // check answers non-zero while the client waits.
  boost::shared_ptr<CGSvrPacket> Exchange(boost::shared_ptr<CGSvrPacket> request) override;

  const std::string& ClientHost() const { return m_ClientHost; }
  const TransportTiming& Timing() const { return m_Timing; }
  // Milliseconds of every pause this client has made.
  std::int32_t TotalWait() const { return m_TotalWait; }

  // Test hooks, reached by no export: shorter pauses and time-outs, and a
  // resolver that yields chosen addresses.
  void SetTiming(const TransportTiming& timing) { m_Timing = timing; }
  void SetResolver(Resolver resolver) { m_ResolveOverride = std::move(resolver); }

 private:
  using Connection = boost::shared_ptr<CGSvrCommPack>;

  void HandleConnect(const boost::system::error_code& error, Endpoints::const_iterator next,
                     Connection connection);
  void HandleWrite(const boost::system::error_code& error, Connection connection);
  void HandleRead(const boost::system::error_code& error, Connection connection);

  Endpoints Resolve();
  void Pause(int milliseconds);
  // The waits of one attempt and between two, which ask the host's
  // interrupt check as they go when it has one.
  void ThrowIfInterrupted() const;
  void RunAttempt();
  void PauseBetweenAttempts();
  // Runs what a failed run left queued, with the connection closed, so the
  // next Exchange starts from an idle io_context.
  void Abandon(const Connection& connection);
  void WriteDiagnostics(int long_waits, int short_waits, std::int32_t connection_wait);

  std::string m_ClientHost;
  std::string m_ServerHost;
  std::string m_ServerPort;
  boost::asio::io_context m_IOService;
  boost::asio::ip::tcp::resolver m_Resolver;
  std::ofstream* m_LogStream;
  std::string m_Diagnostics;
  std::string m_Buffer;
  std::int32_t m_TotalWait = 0;

  TransportTiming m_Timing;
  Resolver m_ResolveOverride;
  // The addresses of the current attempt; the connect handlers walk them.
  Endpoints m_Endpoints;
};

// A client for host and port (written in decimal) that logs to *log_stream,
// with the waits the host asked for (HostTiming); empty when it cannot be
// created.
boost::shared_ptr<IGSvrClient> make_tcp_client(const std::string& server_host, int port,
                                               std::ofstream* log_stream);

}  // namespace grd_svr

#endif  // MIRL_TRANSPORT_TCP_CLIENT_H_
