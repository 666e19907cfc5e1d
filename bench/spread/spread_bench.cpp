// Times spread on a resistance surface read from a raw file of doubles and
// reports the median seconds and the peak memory the spreads added.
// Usage: spread_bench <surface.f64> <rows> <cols> <source value> <repeats>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "analysis/spread_buffer.h"
#include "exports/analysis_api.h"

namespace {
long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: %s surface.f64 rows cols value repeats\n", argv[0]);
    return 2;
  }
  const int rows = std::atoi(argv[2]), cols = std::atoi(argv[3]);
  const double value = std::atof(argv[4]);
  const int repeats = std::atoi(argv[5]);
  const size_t cells = static_cast<size_t>(rows) * cols;
  std::vector<double> surface(cells), work(cells);
  std::ifstream in(argv[1], std::ios::binary);
  in.read(reinterpret_cast<char*>(surface.data()), cells * sizeof(double));
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  work = surface;  // touch every page before the baseline
  const long base_kb = PeakRssKb();
  std::vector<double> seconds;
  int reached = 0;
  for (int i = 0; i < repeats; ++i) {
    std::copy(surface.begin(), surface.end(), work.begin());
    const auto t0 = std::chrono::steady_clock::now();
    reached = spread(value, rows / 2 + 1, cols / 2 + 1, rows, cols, work.data(), 1);
    const auto t1 = std::chrono::steady_clock::now();
    seconds.push_back(std::chrono::duration<double>(t1 - t0).count());
  }
  const long peak_kb = PeakRssKb();
  mirl::analysis::ReleaseSpreadBuffer();
  std::sort(seconds.begin(), seconds.end());
  std::printf("%.6f %d %.3f\n", seconds[seconds.size() / 2], reached,
              (peak_kb - base_kb) * 1024.0 / (cells * sizeof(double)));
  return reached == static_cast<int>(cells) ? 0 : 1;
}
