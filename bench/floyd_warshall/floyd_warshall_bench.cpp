// Times floyd_warshall on a matrix read from a raw file of doubles and
// prints the fastest seconds; optionally writes the closed matrix.
// Usage: floyd_warshall_bench <matrix.f64> <n> <mode> <repeats> [out.f64]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "exports/analysis_stats_api.h"

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: %s matrix.f64 n mode repeats [out.f64]\n", argv[0]);
    return 2;
  }
  const int n = std::atoi(argv[2]), mode = std::atoi(argv[3]), repeats = std::atoi(argv[4]);
  const size_t cells = static_cast<size_t>(n) * n;
  std::vector<double> input(cells), work(cells);
  std::ifstream in(argv[1], std::ios::binary);
  in.read(reinterpret_cast<char*>(input.data()), cells * sizeof(double));
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  std::vector<double> seconds;
  for (int r = 0; r < repeats; ++r) {
    work = input;
    const auto t0 = std::chrono::steady_clock::now();
    const int code = floyd_warshall(n, work.data(), mode);
    const auto t1 = std::chrono::steady_clock::now();
    if (code != 1) {
      std::fprintf(stderr, "floyd_warshall returned %d\n", code);
      return 1;
    }
    seconds.push_back(std::chrono::duration<double>(t1 - t0).count());
  }
  std::sort(seconds.begin(), seconds.end());
  std::printf("%.6f\n", seconds.front());
  if (argc == 6) {
    std::ofstream out(argv[5], std::ios::binary);
    out.write(reinterpret_cast<const char*>(work.data()), cells * sizeof(double));
  }
  return 0;
}
