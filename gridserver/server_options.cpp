#include "server_options.h"

#include <boost/format.hpp>
#include <cstdint>
#include <functional>
#include <map>

#include "protocol/framing.h"

namespace grid_server {
namespace {

constexpr long long kMaxTimeoutMs = 24LL * 3600 * 1000;
// More than any machine this runs on could back, and within size_t on a
// 32-bit build.
constexpr std::size_t kMaxPendingBytes = static_cast<std::size_t>(-1) / 2;

// Digits only, within [low, high].
bool ParseNumber(const std::string& text, long long low, long long high, long long& value) {
  if (text.empty() || text.size() > 18) return false;
  long long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < low || v > high) return false;
  value = v;
  return true;
}

// A setter returns false for a bad value and may say why in its last
// argument.
using Setter = std::function<bool(ServerOptions&, const std::string&, std::string&)>;

Setter Text(std::string ServerOptions::*field) {
  return [field](ServerOptions& o, const std::string& v, std::string&) {
    if (v.empty()) return false;
    o.*field = v;
    return true;
  };
}

template <class T>
Setter Number(T ServerOptions::*field, long long low, long long high) {
  return [field, low, high](ServerOptions& o, const std::string& v, std::string& why) {
    long long n = 0;
    if (!ParseNumber(v, low, high, n)) {
      why = boost::str(boost::format("a whole number from %d to %d is expected") % low % high);
      return false;
    }
    o.*field = static_cast<T>(n);
    return true;
  };
}

// The first --allow replaces the loopback default; more of them add to it.
bool SetAllow(ServerOptions& o, const std::string& v, std::string& why) {
  AllowList list = o.allow_given ? o.allow : AllowList();
  if (!list.Add(v, why)) return false;
  o.allow = list;
  o.allow_given = true;
  return true;
}

const std::map<std::string, Setter>& Setters() {
  static const std::map<std::string, Setter> setters = {
      {"--root", Text(&ServerOptions::root)},
      {"--address", Text(&ServerOptions::address)},
      {"--allow", SetAllow},
      {"--port", Number(&ServerOptions::port, 0, 65535)},
      {"--log", Text(&ServerOptions::log_file)},
      {"--port-file", Text(&ServerOptions::port_file)},
      {"--gridio-dir", Text(&ServerOptions::gridio_dir)},
      {"--header-timeout", Number(&ServerOptions::header_timeout_ms, 1, kMaxTimeoutMs)},
      {"--idle-timeout", Number(&ServerOptions::idle_timeout_ms, 1, kMaxTimeoutMs)},
      {"--request-timeout", Number(&ServerOptions::request_timeout_ms, 1, kMaxTimeoutMs)},
      {"--max-request", Number(&ServerOptions::max_request_bytes, 1,
                               static_cast<long long>(grd_svr::kMaxFrameLength))},
      {"--max-pending-bytes",
       Number(&ServerOptions::max_pending_bytes, 1, static_cast<long long>(kMaxPendingBytes))},
      {"--max-connections", Number(&ServerOptions::max_connections, 1, 10000)},
      {"--shutdown-grace", Number(&ServerOptions::shutdown_grace_ms, 0, kMaxTimeoutMs)},
  };
  return setters;
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
  ParsedOptions parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    if (name == "--help" || name == "-h") {
      parsed.outcome = ParsedOptions::kHelp;
      return parsed;
    }
    std::string value;
    bool has_value = false;
    const std::size_t eq = name.find('=');
    if (name.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      has_value = true;
    }
    const auto setter = Setters().find(name);
    if (setter == Setters().end()) {
      parsed.error = "unknown option " + args[i];
      return parsed;
    }
    if (!has_value) {
      if (i + 1 == args.size()) {
        parsed.error = "option " + name + " needs a value";
        return parsed;
      }
      value = args[++i];
    }
    std::string why;
    if (!setter->second(parsed.options, value, why)) {
      parsed.error = "bad value for " + name + ": '" + value + "'";
      if (!why.empty()) parsed.error += ": " + why;
      return parsed;
    }
  }
  if (parsed.options.root.empty()) {
    parsed.error = "--root is required";
    return parsed;
  }
  parsed.outcome = ParsedOptions::kRun;
  return parsed;
}

std::string HelpText() {
  const ServerOptions d;
  return boost::str(
      boost::format(
          "usage: grid_server --root DIR [options]\n"
          "\n"
          "Serves the grids under DIR to mirl_lib sessions in io mode 1: one framed\n"
          "request per TCP connection, one framed reply. Requests are handled one at\n"
          "a time, in the order their frames arrive whole; a slow sender holds up\n"
          "nobody, and connections that arrive meanwhile wait, none is dropped.\n"
          "Stops after answering a GridServerRetire request, or on SIGTERM or SIGINT,\n"
          "and exits 0; exits 1 when it cannot start, 2 on a bad command line.\n"
          "\n"
          "The protocol has no authentication: whoever may connect may read, write\n"
          "and delete every grid under DIR. Only this machine may connect unless\n"
          "--allow names other clients.\n"
          "\n"
          "Options (each also as --name=value):\n"
          "  --root DIR             directory served (required). A request whose grid\n"
          "                         name or path is absolute, or goes through '..',\n"
          "                         is answered with ErrPackMalformed (-10005) and\n"
          "                         not served.\n"
          "  --address ADDR         address to listen on (default %1%); an address\n"
          "                         other than loopback needs --allow\n"
          "  --allow CIDR[,CIDR...] clients that may connect, as IPv4 or IPv6 networks\n"
          "                         (10.1.0.0/16, fd00::/8, or one address); others\n"
          "                         are closed unread when accepted and counted in\n"
          "                         the log. May be repeated. Default: this machine\n"
          "                         only (%8%); 0.0.0.0/0 admits anyone\n"
          "  --port N               TCP port, 0 for one the system chooses (default %2%)\n"
          "  --port-file FILE       write the port listened on to FILE once listening\n"
          "  --log FILE             append the server log (one line per request and\n"
          "                         reply, and every refusal) to FILE (default: none)\n"
          "  --gridio-dir DIR       directory holding avgridio.so or aigridio.so\n"
          "                         (default: ../lib beside the program, else the\n"
          "                         program's own directory)\n"
          "  --header-timeout MS    close a connection that has not sent its 8-byte\n"
          "                         frame header MS ms after it was accepted\n"
          "                         (default %9%)\n"
          "  --idle-timeout MS      close a connection that moves no byte for MS ms\n"
          "                         while its request is read or its reply written:\n"
          "                         silent and stalled clients (default %3%)\n"
          "  --request-timeout MS   close a connection whose whole request has not\n"
          "                         arrived MS ms after it was accepted (default %4%)\n"
          "  --max-request BYTES    largest request payload; a longer one is answered\n"
          "                         with ErrGridTooBig (-10016) and closed at once\n"
          "                         (default and largest: %5%)\n"
          "  --max-pending-bytes BYTES\n"
          "                         bytes all requests not yet received whole may\n"
          "                         hold together; a request whose frame announces\n"
          "                         more than fits waits unread (TCP holds its client\n"
          "                         back), one longer than BYTES is answered with\n"
          "                         ErrGridTooBig (default: a quarter of physical\n"
          "                         memory, at most 512 MiB, at least --max-request)\n"
          "  --max-connections N    connections open at once; more wait in the\n"
          "                         listen queue (default %6%; the descriptor limit\n"
          "                         is raised to allow them where it can be)\n"
          "  --shutdown-grace MS    on retire or a signal the server accepts no more\n"
          "                         connections and answers every request it has\n"
          "                         received whole; requests still arriving are read\n"
          "                         for MS ms more, then answered with\n"
          "                         ErrGridIOException (-10006); connections that\n"
          "                         sent nothing are closed. A second signal ends\n"
          "                         the grace at once, a third closes everything\n"
          "                         (default %7%)\n"
          "  --help, -h             print this text and exit\n"
          "\n"
          "A frame whose header is not blank-padded hexadecimal, or whose payload does\n"
          "not decode, is answered with an ErrorReport packet carrying ErrPackMalformed\n"
          "(-10005) and closed. A client that resets or closes its connection (its\n"
          "sending side included) before its reply is not served.\n") %
      d.address % d.port % d.idle_timeout_ms % d.request_timeout_ms % d.max_request_bytes %
      d.max_connections % d.shutdown_grace_ms % d.allow.ToString() % d.header_timeout_ms);
}

}  // namespace grid_server
