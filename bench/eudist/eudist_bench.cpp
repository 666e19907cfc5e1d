// Times eudist_dbl or eudist_int on a stack and reference read from raw
// files (doubles, or int32 for "int") and prints the fastest seconds; writes
// the result of the last run.
// Usage: eudist_bench dbl|int <stack> <reference> <layers> <rows> <cols> <repeats> <out.f64>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "exports/analysis_stats_api.h"

namespace {

template <typename T>
bool ReadAll(const char* path, std::vector<T>& out) {
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(out.data()), out.size() * sizeof(T));
  return static_cast<bool>(in);
}

template <typename T, typename Call>
int Bench(char** argv, Call call) {
  const int layers = std::atoi(argv[4]), rows = std::atoi(argv[5]), cols = std::atoi(argv[6]);
  const int repeats = std::atoi(argv[7]);
  const size_t cells = static_cast<size_t>(rows) * cols;
  std::vector<T> stack(cells * layers), reference(layers);
  std::vector<double> result(cells, 0.0);
  if (!ReadAll(argv[2], stack) || !ReadAll(argv[3], reference)) {
    std::fprintf(stderr, "cannot read the inputs\n");
    return 2;
  }
  std::vector<double> seconds;
  for (int r = 0; r < repeats; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    const int code = call(layers, rows, cols, reference.data(), stack.data(), result.data());
    const auto t1 = std::chrono::steady_clock::now();
    if (code != 1) {
      std::fprintf(stderr, "eudist returned %d\n", code);
      return 1;
    }
    seconds.push_back(std::chrono::duration<double>(t1 - t0).count());
  }
  std::sort(seconds.begin(), seconds.end());
  std::printf("%.6f\n", seconds.front());
  std::ofstream out(argv[8], std::ios::binary);
  out.write(reinterpret_cast<const char*>(result.data()), cells * sizeof(double));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 9) {
    std::fprintf(stderr, "usage: %s dbl|int stack reference layers rows cols repeats out\n",
                 argv[0]);
    return 2;
  }
  if (std::string(argv[1]) == "int")
    return Bench<int32_t>(argv, [](int l, int r, int c, int* ref, int* st, double* out) {
      return eudist_int(l, r, c, -9999, ref, st, out, 0);
    });
  return Bench<double>(argv, [](int l, int r, int c, double* ref, double* st, double* out) {
    return eudist_dbl(l, r, c, -9999.0, ref, st, out, 0);
  });
}
