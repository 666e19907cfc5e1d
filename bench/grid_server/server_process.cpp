#include "server_process.h"

#include <boost/filesystem.hpp>
#include <boost/make_shared.hpp>
#include <boost/process.hpp>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "protocol/packets.h"
#include "transport/tcp_client.h"

namespace grid_server_bench {

namespace bp = boost::process;

ServerProcess::ServerProcess(const std::string& build, const std::string& root,
                             const std::vector<std::string>& extra)
    : m_PortFile((boost::filesystem::path(root).parent_path() /
                  boost::filesystem::unique_path("port-%%%%%%%%"))
                     .string()) {
  std::vector<std::string> args = {"--root", root, "--port", "0", "--port-file", m_PortFile};
  args.insert(args.end(), extra.begin(), extra.end());
  m_Child = bp::child(build + "/gridserver/grid_server", bp::args(args), bp::std_out > bp::null);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline && m_Child.running()) {
    std::ifstream in(m_PortFile);
    unsigned port = 0;
    if (in >> port) {
      m_Port = static_cast<unsigned short>(port);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (m_Child.running()) m_Child.terminate();
  throw std::runtime_error("grid_server did not start");
}

ServerProcess::~ServerProcess() {
  boost::system::error_code ignored;
  boost::filesystem::remove(m_PortFile, ignored);
  if (!m_Child.running()) return;
  std::ofstream no_log;
  grd_svr::CGSvrClient client("127.0.0.1", std::to_string(m_Port), &no_log);
  grd_svr::TransportTiming timing;
  timing.max_attempts = 1;
  client.SetTiming(timing);
  client.Exchange(boost::make_shared<grd_svr::CGSvrPk_GridServerRetire>(grd_svr::atRequest));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (m_Child.running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (m_Child.running()) m_Child.terminate();
  m_Child.wait();
}

}  // namespace grid_server_bench
