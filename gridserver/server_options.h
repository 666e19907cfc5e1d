// The grid server's command line: what it serves, where it listens, its
// log, and the limits that keep one bad connection from hurting the others.
// HelpText() documents every option; ParseOptions() accepts "--name value"
// and "--name=value" and refuses anything it does not know.
#ifndef MIRL_GRIDSERVER_SERVER_OPTIONS_H_
#define MIRL_GRIDSERVER_SERVER_OPTIONS_H_

#include <cstddef>
#include <string>
#include <vector>

#include "allow_list.h"

namespace grid_server {

struct ServerOptions {
  /// The directory served; every name a request carries must stay inside.
  std::string root;
  /// Address to listen on.
  std::string address = "127.0.0.1";
  /// The clients that may connect; connections from elsewhere are closed
  /// as soon as they are accepted.
  AllowList allow = AllowList::Loopback();
  /// allow was given on the command line. Without it the server listens
  /// only on a loopback address.
  bool allow_given = false;
  /// TCP port; 0 lets the system choose one (see port_file).
  unsigned short port = 3339;
  /// The server log; empty for none.
  std::string log_file;
  /// A file that receives the port actually listened on; empty for none.
  std::string port_file;
  /// Where avgridio.so (or aigridio.so) is; empty for the program's own
  /// directory's ../lib, else the program's directory.
  std::string gridio_dir;
  /// Longest time from accepting a connection to holding its 8-byte frame
  /// header; the connection is closed after it.
  int header_timeout_ms = 2000;
  /// Longest silence (no byte moving) while a request is read or a reply
  /// written; the connection is closed after it.
  int idle_timeout_ms = 10000;
  /// Longest time from accepting a connection to holding its whole request.
  int request_timeout_ms = 120000;
  /// Largest request payload accepted, in bytes.
  std::size_t max_request_bytes = std::size_t{128} << 20;
  /// Bytes all requests not yet received whole may hold together; 0 for
  /// the default (PendingBudget::DefaultLimit).
  std::size_t max_pending_bytes = 0;
  /// Connections open at once; further ones wait in the listen queue.
  int max_connections = 1024;
  /// After a retire request or a signal: how long requests still arriving
  /// may take before they are answered with ErrGridIOException.
  int shutdown_grace_ms = 5000;
};

struct ParsedOptions {
  enum Outcome { kRun, kHelp, kError };
  Outcome outcome = kError;
  ServerOptions options;
  /// The reason when outcome is kError.
  std::string error;
};

ParsedOptions ParseOptions(const std::vector<std::string>& args);

// The text of --help, every option with its default.
std::string HelpText();

}  // namespace grid_server

#endif  // MIRL_GRIDSERVER_SERVER_OPTIONS_H_
