// The grid server under many workers, and the first read of a fresh
// session, against a grid_server program started on loopback.
// Usage: grid_server_bench <build dir> first <scratch dir> <size> <reps>
//        grid_server_bench <build dir> load <scratch dir> <requests> <think ms> <clients...>
// (and, internally, <build dir> first-child <io mode> <source> <size>)
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "first_read.h"
#include "load_run.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: grid_server_bench <build dir> first <scratch dir> <size> <reps>\n"
               "       grid_server_bench <build dir> load <scratch dir> <requests> <think ms> "
               "<clients...>\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string build = argv[1];
  const std::string mode = argv[2];
  try {
    if (mode == "first-child" && argc == 6)
      return grid_server_bench::FirstReadChild(build, std::atoi(argv[3]), argv[4],
                                               std::atoi(argv[5]));
    if (mode == "first" && argc == 6)
      return grid_server_bench::RunFirstReads(argv[0], build, argv[3], std::atoi(argv[4]),
                                              std::atoi(argv[5]));
    if (mode == "load" && argc >= 6) {
      grid_server_bench::LoadPlan plan;
      plan.requests = std::atoi(argv[4]);
      plan.think_ms = std::atoi(argv[5]);
      for (int i = 6; i < argc; ++i) plan.clients.push_back(std::atoi(argv[i]));
      if (plan.requests > 0 && !plan.clients.empty())
        return grid_server_bench::RunLoad(build, argv[3], plan);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "grid_server_bench: %s\n", error.what());
    return 1;
  }
  return Usage();
}
