// Times patch_scan on a grid read from a raw file of int32 values and
// prints the median seconds and the patch count. The time is the process's
// CPU time (user and system, so page faults count), which other work on a
// shared machine disturbs less than the wall clock.
// Usage: patch_scan_bench <grid.i32> <rows> <cols> <neighborhood> <repeats>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "exports/analysis_grid_api.h"

namespace {
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: %s grid.i32 rows cols neighborhood repeats\n", argv[0]);
    return 2;
  }
  const int rows = std::atoi(argv[2]), cols = std::atoi(argv[3]);
  const int neighborhood = std::atoi(argv[4]), repeats = std::atoi(argv[5]);
  const size_t cells = static_cast<size_t>(rows) * cols;
  std::vector<int> input(cells), work(cells);
  std::ifstream in(argv[1], std::ios::binary);
  in.read(reinterpret_cast<char*>(input.data()), cells * sizeof(int));
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  std::vector<double> seconds;
  int count = -1;
  for (int i = 0; i < repeats; ++i) {
    std::copy(input.begin(), input.end(), work.begin());
    const double t0 = CpuSeconds();
    const int code = patch_scan(work.data(), rows, cols, neighborhood, -9999, &count);
    const double t1 = CpuSeconds();
    if (code != 1) {
      std::fprintf(stderr, "patch_scan returned %d\n", code);
      return 1;
    }
    seconds.push_back(t1 - t0);
  }
  std::sort(seconds.begin(), seconds.end());
  std::printf("%.6f %d\n", seconds[seconds.size() / 2], count);
  return 0;
}
