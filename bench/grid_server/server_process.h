// A grid_server program started for a benchmark: a child process serving a
// root on a port of the system's choice, retired (or killed) when the object
// goes. Loopback only.
#ifndef MIRL_BENCH_GRID_SERVER_SERVER_PROCESS_H_
#define MIRL_BENCH_GRID_SERVER_SERVER_PROCESS_H_

#include <boost/process/child.hpp>
#include <string>
#include <vector>

namespace grid_server_bench {

class ServerProcess {
 public:
  // Starts build/gridserver/grid_server over root with the extra options;
  // throws std::runtime_error when it does not listen within 20 s.
  ServerProcess(const std::string& build, const std::string& root,
                const std::vector<std::string>& extra = {});
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  unsigned short port() const { return m_Port; }

 private:
  std::string m_PortFile;
  boost::process::child m_Child;
  unsigned short m_Port = 0;
};

}  // namespace grid_server_bench

#endif  // MIRL_BENCH_GRID_SERVER_SERVER_PROCESS_H_
