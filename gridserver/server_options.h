// The grid server's command line: what it serves, where it listens, its
// log, and the limits that keep one bad connection from hurting the others.
// HelpText() documents every option; ParseOptions() accepts "--name value"
// and "--name=value" and refuses anything it does not know.
#ifndef MIRL_GRIDSERVER_SERVER_OPTIONS_H_
#define MIRL_GRIDSERVER_SERVER_OPTIONS_H_

#include <cstddef>
#include <string>
#include <vector>

namespace grid_server {

struct ServerOptions {
  /// The directory served; every name a request carries must stay inside.
  std::string root;
  /// Address to listen on.
  std::string address = "127.0.0.1";
  /// TCP port; 0 lets the system choose one (see port_file).
  unsigned short port = 3339;
  /// The server log; empty for none.
  std::string log_file;
  /// A file that receives the port actually listened on; empty for none.
  std::string port_file;
  /// Where avgridio.so (or aigridio.so) is; empty for the program's own
  /// directory's ../lib, else the program's directory.
  std::string gridio_dir;
  /// Longest silence (no byte moving) while a request is read or a reply
  /// written; the connection is closed after it.
  int idle_timeout_ms = 10000;
  /// Longest time from accepting a connection to holding its whole request.
  int request_timeout_ms = 120000;
  /// Largest request payload accepted, in bytes.
  std::size_t max_request_bytes = std::size_t{128} << 20;
  /// Connections served at once; further ones wait in the listen queue.
  int max_connections = 32;
  /// After a retire request or a signal: how long requests in progress may
  /// still take before their connections are closed.
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
