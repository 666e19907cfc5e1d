// Many clients at once against one grid_server on loopback: for each client
// count, the mixed requests of mixed_workload.h, then the same with idle
// connections held open throughout. Prints requests per second, p50 and
// p99 latency, and lost and wrong replies per run.
#ifndef MIRL_BENCH_GRID_SERVER_LOAD_RUN_H_
#define MIRL_BENCH_GRID_SERVER_LOAD_RUN_H_

#include <string>
#include <vector>

namespace grid_server_bench {

struct LoadPlan {
  std::vector<int> clients;  // client counts, one run each
  int requests = 500;        // per client
  int think_ms = 7;          // pause after each reply
  int idle = 200;            // idle connections of the second set of runs
};

// Returns 0 when no reply was lost or wrong, 1 otherwise.
int RunLoad(const std::string& build, const std::string& scratch, const LoadPlan& plan);

}  // namespace grid_server_bench

#endif  // MIRL_BENCH_GRID_SERVER_LOAD_RUN_H_
