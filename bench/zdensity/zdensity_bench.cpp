// Times zdensity (mean 0.5, sd 1.5, in place) on doubles read from a raw
// file, and the library's scalar path (the one processors without AVX2 and
// FMA take: the same steps with a fused multiply-add done in integer
// arithmetic) on the same data for comparison.
// Prints: export seconds, scalar path seconds (fastest of the repeats),
// the largest distance in ulps between the two results, and the two
// bounds of the export: an in-place pass that only scales each element
// (memory traffic alone) and the export's kernel over a cache-sized block
// repeated to the same count (arithmetic alone).
// Usage: zdensity_bench <data.f64> <count> <repeats>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "analysis/zdensity.h"
#include "exports/analysis_stats_api.h"

namespace {

template <class F>
double MedianSeconds(const std::vector<double>& input, std::vector<double>& work, int repeats,
                     F run) {
  std::vector<double> seconds;
  for (int r = 0; r < repeats; ++r) {
    std::copy(input.begin(), input.end(), work.begin());
    const auto t0 = std::chrono::steady_clock::now();
    run(work);
    const auto t1 = std::chrono::steady_clock::now();
    seconds.push_back(std::chrono::duration<double>(t1 - t0).count());
  }
  std::sort(seconds.begin(), seconds.end());
  return seconds.front();
}

int64_t UlpsApart(double a, double b) {
  if (a == b) return 0;
  int64_t ia, ib;
  std::memcpy(&ia, &a, sizeof a);
  std::memcpy(&ib, &b, sizeof b);
  return ia > ib ? ia - ib : ib - ia;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s data.f64 count repeats\n", argv[0]);
    return 2;
  }
  const int count = std::atoi(argv[2]), repeats = std::atoi(argv[3]);
  std::vector<double> input(count), ours(count), plain(count), scratch(count);
  std::ifstream in(argv[1], std::ios::binary);
  in.read(reinterpret_cast<char*>(input.data()), input.size() * sizeof(double));
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  const double mean = 0.5, sd = 1.5, missing = -9999.0;
  const double t_ours = MedianSeconds(input, ours, repeats, [&](std::vector<double>& w) {
    if (zdensity(mean, sd, count, w.data(), missing) != 1) std::abort();
  });
  const auto c = mirl::analysis::MakeZDensityConstants(mean, sd);
  const double t_plain = MedianSeconds(input, plain, repeats, [&](std::vector<double>& w) {
    mirl::analysis::ZDensityScalar(w.data(), count, missing, c);
  });
  const double t_stream = MedianSeconds(input, scratch, repeats, [&](std::vector<double>& w) {
    double* p = w.data();
    for (int i = 0; i < count; ++i) p[i] *= 0.5;
  });
  const double t_compute = MedianSeconds(input, scratch, repeats, [&](std::vector<double>& w) {
    constexpr int kBlock = 4096;  // 32 KB: stays in the first-level cache
    for (int i = 0; i + kBlock <= count; i += kBlock)
      if (zdensity(mean, sd, kBlock, w.data(), missing) != 1) std::abort();
  });
  int64_t worst = 0;
  for (int i = 0; i < count; ++i) worst = std::max(worst, UlpsApart(ours[i], plain[i]));
  std::printf("%.6f %.6f %lld %.6f %.6f\n", t_ours, t_plain, static_cast<long long>(worst), t_stream,
              t_compute);
  return 0;
}
