#include "transport/tcp_client.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include <boost/asio/error.hpp>
#include <boost/bind/bind.hpp>
#include <boost/format.hpp>
#include <boost/make_shared.hpp>
#include <boost/system/system_error.hpp>

#include "platform/sleep.h"
#include "transport/client_host.h"
#include "transport/comm_pack.h"
#include "transport/exchange_interrupted.h"
#include "transport/host_waits.h"
#include "transport/wait_times.h"

namespace grd_svr {

namespace asio = boost::asio;
using boost::placeholders::_1;

CGSvrClient::CGSvrClient(const std::string& server_host, const std::string& server_port,
                         std::ofstream* log_stream)
    : m_ServerHost(server_host),
      m_ServerPort(server_port),
      m_Resolver(m_IOService),
      m_LogStream(log_stream) {
  m_ClientHost = ClientHostName();
}

CGSvrClient::~CGSvrClient() = default;

boost::shared_ptr<CGSvrPacket> CGSvrClient::Exchange(boost::shared_ptr<CGSvrPacket> request) {
  if (!request) throw std::invalid_argument("no request to exchange");
  int failed = 0;
  int long_waits = 0;
  int short_waits = 0;
  Connection connection;
  try {
    for (;;) {
      ThrowIfInterrupted();
      connection = boost::make_shared<CGSvrCommPack>(m_IOService, m_Timing);
      m_Endpoints = Resolve();
      connection->Request() = request;
      connection->AdoptBuffer(std::move(m_Buffer));
      request->SetClientHost(m_ClientHost);
      connection->AsyncConnect(
          m_Endpoints.front(),
          boost::bind(&CGSvrClient::HandleConnect, this, _1, m_Endpoints.cbegin() + 1, connection));
      RunAttempt();
      m_IOService.restart();
      m_Buffer = connection->ReleaseBuffer();
      if (connection->ReplyTooLong()) {
        // No retry can shorten the reply: the exchange ends here, its
        // "Read error: " line written, as for a request too long to send.
        WriteDiagnostics(long_waits, short_waits, connection->Wait());
        throw boost::system::system_error(asio::error::message_size, "reply frame");
      }

      Pause(m_Timing.short_pause_ms);
      ++short_waits;
      if (connection->Reply()) break;
      if (++failed >= m_Timing.max_attempts) break;
      PauseBetweenAttempts();
      ++long_waits;
      connection.reset();
    }
  } catch (...) {
    if (connection) Abandon(connection);
    // What this exchange collected is its own; the exception now speaks for it.
    m_Diagnostics.clear();
    throw;
  }
  WriteDiagnostics(long_waits, short_waits, connection->Wait());
  return connection->Reply();
}

void CGSvrClient::HandleConnect(const boost::system::error_code& error,
                                Endpoints::const_iterator next, Connection connection) {
  if (!error) {
    connection->AsyncWrite(connection->Request(),
                           boost::bind(&CGSvrClient::HandleWrite, this, _1, connection));
    return;
  }
  if (next != m_Endpoints.cend()) {
    connection->Close();
    connection->AsyncConnect(
        *next, boost::bind(&CGSvrClient::HandleConnect, this, _1, next + 1, connection));
    return;
  }
  m_Diagnostics += "Connect error: " + error.message() + "\n";
}

void CGSvrClient::HandleWrite(const boost::system::error_code& error, Connection connection) {
  if (!error) {
    connection->AsyncRead(&connection->Reply(),
                          boost::bind(&CGSvrClient::HandleRead, this, _1, connection));
    return;
  }
  m_Diagnostics += "Write error: " + error.message() + "\n";
}

void CGSvrClient::HandleRead(const boost::system::error_code& error, Connection connection) {
  if (error) {
    m_Diagnostics += "Read error: " + error.message() + "\n";
  } else if (!connection->Reply()) {
    m_Diagnostics += "Read: No response from the server\n";
  }
}

CGSvrClient::Endpoints CGSvrClient::Resolve() {
  Endpoints endpoints;
  if (m_ResolveOverride) {
    endpoints = m_ResolveOverride(m_ServerHost, m_ServerPort);
  } else {
    const auto results =
        m_Resolver.resolve(m_ServerHost, m_ServerPort, asio::ip::resolver_base::address_configured);
    for (const auto& entry : results) endpoints.push_back(entry.endpoint());
  }
  if (endpoints.empty()) {
    throw boost::system::system_error(asio::error::host_not_found, "resolve");
  }
  return endpoints;
}

void CGSvrClient::Pause(int milliseconds) {
  mirl::platform::SleepMilliseconds(milliseconds);
  AddWait(m_TotalWait, milliseconds);
}

void CGSvrClient::ThrowIfInterrupted() const {
  if (m_Timing.interrupted != nullptr && m_Timing.interrupted() != 0) throw ExchangeInterrupted();
}

void CGSvrClient::RunAttempt() {
  if (m_Timing.interrupted == nullptr) {
    m_IOService.run();
    return;
  }
  const auto poll = std::chrono::milliseconds(std::max(1, m_Timing.interrupt_poll_ms));
  for (;;) {
    m_IOService.run_for(poll);
    if (m_IOService.stopped()) return;
    ThrowIfInterrupted();
  }
}

void CGSvrClient::PauseBetweenAttempts() {
  if (m_Timing.interrupted == nullptr) {
    Pause(m_Timing.long_pause_ms);
    return;
  }
  const int slice = std::max(1, m_Timing.interrupt_poll_ms);
  for (int left = m_Timing.long_pause_ms; left > 0; left -= slice) {
    Pause(std::min(slice, left));
    ThrowIfInterrupted();
  }
}

void CGSvrClient::Abandon(const Connection& connection) {
  connection->Close();
  try {
    m_IOService.restart();
    m_IOService.run();
  } catch (...) {
    // Only stale handlers of the failed attempt run here; the first
    // exception is the one the caller hears about.
  }
  m_IOService.restart();
}

void CGSvrClient::WriteDiagnostics(int long_waits, int short_waits, std::int32_t connection_wait) {
  if (m_LogStream != nullptr && m_LogStream->is_open() && !m_Diagnostics.empty()) {
    *m_LogStream << m_Diagnostics
                 << WaitTimesEntry(long_waits, short_waits, m_TotalWait, connection_wait)
                 << std::endl;
  }
  // With the log closed nothing would ever read them; an exchange starts clean.
  m_Diagnostics.clear();
}

boost::shared_ptr<IGSvrClient> make_tcp_client(const std::string& server_host, int port,
                                               std::ofstream* log_stream) {
  try {
    const std::string port_text = (boost::format("%d") % port).str();
    boost::shared_ptr<CGSvrClient> client =
        boost::make_shared<CGSvrClient>(server_host, port_text, log_stream);
    client->SetTiming(HostTiming());
    return client;
  } catch (...) {
    return boost::shared_ptr<IGSvrClient>();
  }
}

}  // namespace grd_svr
