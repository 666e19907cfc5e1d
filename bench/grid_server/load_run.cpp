#include "load_run.h"

#include <algorithm>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/filesystem.hpp>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "mixed_workload.h"
#include "server_process.h"

namespace grid_server_bench {
namespace {

using boost::asio::ip::tcp;

struct RunFigures {
  int requests = 0;
  double seconds = 0;
  double p50 = 0, p99 = 0;
  int lost = 0, wrong = 0;
  std::vector<std::string> faults;
};

double Percentile(std::vector<double>& v, double q) {
  if (v.empty()) return 0;
  const std::size_t at = std::min(v.size() - 1, static_cast<std::size_t>(q * v.size()));
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(at), v.end());
  return v[at];
}

RunFigures RunClients(unsigned short port, int clients, const LoadPlan& plan) {
  std::vector<ClientFigures> each(static_cast<std::size_t>(clients));
  std::vector<std::thread> threads;
  const auto start = std::chrono::steady_clock::now();
  for (int k = 0; k < clients; ++k)
    threads.emplace_back([&, k] {
      each[k] = RunMixedClient(port, plan.requests, static_cast<unsigned>(clients * 1000 + k),
                               plan.think_ms);
    });
  for (std::thread& t : threads) t.join();
  RunFigures run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::vector<double> latencies;
  for (const ClientFigures& f : each) {
    latencies.insert(latencies.end(), f.latencies_ms.begin(), f.latencies_ms.end());
    run.lost += f.lost;
    run.wrong += f.wrong;
    for (const std::string& fault : f.faults)
      if (run.faults.size() < 5) run.faults.push_back(fault);
  }
  run.requests = clients * plan.requests;
  run.p50 = Percentile(latencies, 0.50);
  run.p99 = Percentile(latencies, 0.99);
  return run;
}

// Connections that send nothing; the server keeps them open as long as its
// header time-out allows.
class IdleConnections {
 public:
  IdleConnections(unsigned short port, int count) {
    for (int i = 0; i < count; ++i) {
      m_Sockets.emplace_back(new tcp::socket(m_IO));
      m_Sockets.back()->connect(tcp::endpoint(boost::asio::ip::address_v4::loopback(), port));
      m_Sockets.back()->non_blocking(true);
    }
  }
  // Those the server has not closed: a read finds nothing yet.
  int StillOpen() {
    int open = 0;
    char byte;
    for (auto& socket : m_Sockets) {
      boost::system::error_code error;
      socket->read_some(boost::asio::buffer(&byte, 1), error);
      if (error == boost::asio::error::would_block) ++open;
    }
    return open;
  }

 private:
  boost::asio::io_context m_IO;
  std::vector<std::unique_ptr<tcp::socket>> m_Sockets;
};

bool Print(int clients, int idle, const RunFigures& run) {
  std::printf("%7d %5d %9d %9.0f %8.2f %8.2f %6d %6d\n", clients, idle, run.requests,
              run.requests / run.seconds, run.p50, run.p99, run.lost, run.wrong);
  for (const std::string& fault : run.faults) std::printf("        %s\n", fault.c_str());
  std::fflush(stdout);
  return run.lost == 0 && run.wrong == 0;
}

}  // namespace

int RunLoad(const std::string& build, const std::string& scratch, const LoadPlan& plan) {
  const std::string root = scratch + "/load";
  boost::filesystem::create_directories(root);
  // Idle connections stay open for the whole run, not only the 2 s of the
  // header time-out (nor the 10 s of the idle one).
  ServerProcess server(build, root, {"--header-timeout", "600000", "--idle-timeout", "600000"});
  PrepareMixedLayer(server.port());
  std::printf("grid_server, N clients x %d mixed requests on loopback (20%% ping, 20%% describe,\n"
              "45%% block reads of 1-64 x 1-64 cells, 15%% whole %d x %d float grids), every\n"
              "reply checked; %d ms pause after each reply (the TCP client's own is 7 ms)\n",
              plan.requests, kMixedRows, kMixedCols, plan.think_ms);
  std::printf("%7s %5s %9s %9s %8s %8s %6s %6s\n", "clients", "idle", "requests", "req/s",
              "p50 ms", "p99 ms", "lost", "wrong");
  bool clean = true;
  double goal_p99 = -1;
  bool goal_clean = true;
  for (int idle : {0, plan.idle}) {
    std::unique_ptr<IdleConnections> held;
    if (idle > 0) held.reset(new IdleConnections(server.port(), idle));
    for (int clients : plan.clients) {
      const RunFigures run = RunClients(server.port(), clients, plan);
      clean &= Print(clients, idle, run);
      if (clients == 64) {
        goal_p99 = std::max(goal_p99, run.p99);
        goal_clean &= run.lost == 0 && run.wrong == 0;
      }
    }
    if (held) std::printf("idle connections still open after the runs: %d of %d\n",
                          held->StillOpen(), idle);
  }
  if (goal_p99 >= 0 && plan.requests >= 500)
    std::printf("goal 64 clients x 500: 0 lost, 0 wrong, p99 <= 50 ms: %s (worst p99 %.2f ms)\n",
                goal_clean && goal_p99 <= 50 ? "met" : "MISSED", goal_p99);
  return clean ? 0 : 1;
}

}  // namespace grid_server_bench
