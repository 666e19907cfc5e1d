// Every analysis export on fixed inputs, its results as digests against the
// ones the x86-64 build wrote into export_digests.txt: whichever compiler,
// processor or path (AVX-512, AVX2, SSE2 or portable) a build takes, its
// results are the same bits. The inputs hold what tells paths apart:
// barriers, NaN, ties, tails beyond the exponential's domain, rows of long
// runs and of noise, widths that fill no whole vector.
//
// To make the file anew on x86-64 (only when a result is meant to change):
// MIRL_DIGESTS_OUT=tests/analysis/export_digests.txt analysis_tests
//   --gtest_filter='ExportDigests.*'
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "analysis/spread_buffer.h"
#include "exports/analysis_api.h"
#include "exports/analysis_grid_api.h"
#include "exports/analysis_stats_api.h"
#include "support/digest.h"

namespace {

using mirl_test::Digest;
using mirl_test::Inputs;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

std::vector<double> Surface(Inputs& in, int cells, bool integers) {
  std::vector<double> s(cells);
  for (double& v : s) {
    if (in.Chance(6)) {
      v = -1.0;  // barrier
    } else if (in.Chance(1)) {
      v = kNaN;
    } else {
      v = integers ? 1 + in.Below(9) : in.Between(0.25, 10.0);
    }
  }
  return s;
}

std::string SpreadDigest(std::uint64_t seed, int rows, int cols, bool integers, int diagonal) {
  Inputs in(seed);
  std::vector<double> s = Surface(in, rows * cols, integers);
  const int code = spread(400.0, rows / 2 + 1, cols / 3 + 1, rows, cols, s.data(), diagonal);
  return Digest().Add(code).Add(s).Hex();
}

std::string WetspreadDigest(std::uint64_t seed) {
  const int rows = 41, cols = 37;
  Inputs in(seed);
  const int codes[] = {1, 2, 4, 8, 16, 32, 64, 128, 0, -1, 3};
  std::vector<double> cost(rows * cols), wet(rows * cols, 0.0);
  std::vector<int> dir(rows * cols);
  for (int i = 0; i < rows * cols; ++i) {
    cost[i] = in.Between(0.1, 3.0);
    // Mostly southward and eastward, so that long paths form.
    dir[i] = in.Chance(70) ? codes[in.Below(3)] : codes[in.Below(11)];
    if (in.Chance(5)) wet[i] = 0.5;
  }
  const int code = wetspread(60.0, 3, 4, rows, cols, cost.data(), dir.data(), wet.data());
  return Digest().Add(code).Add(wet).Hex();
}

// Rows of noise, of long runs, and rows every cell of which can be in a
// patch, with the missing value among the values or above them.
std::string PatchDigest(std::uint64_t seed, int rows, int cols, int neighborhood, int missing) {
  Inputs in(seed);
  std::vector<int> g(rows * cols);
  for (int r = 0; r < rows; ++r) {
    const int kind = in.Below(3);
    for (int c = 0; c < cols; ++c) {
      int& v = g[r * cols + c];
      if (kind == 0) {
        v = in.Below(4);
        if (in.Chance(5)) v = missing;
        if (in.Chance(5)) v = -3;
      } else if (kind == 1) {
        v = (c / 9 + r / 4) % 3;
      } else {
        v = in.Chance(80) ? (c / 5) % 2 : in.Below(3);
      }
    }
  }
  int count = -1;
  const int code = patch_scan(g.data(), rows, cols, neighborhood, missing, &count);
  return Digest().Add(code).Add(count).Add(g).Hex();
}

std::string MatrixUtilitiesDigest(std::uint64_t seed) {
  const int rows = 9, cols = 13, n = 17;
  Inputs in(seed);
  std::vector<int> gi(rows * cols), coords(2 * n), vi(n), clip_i(rows * cols, 0);
  std::vector<double> gd(rows * cols), vd(n), clip_d(rows * cols, 0.0);
  std::vector<unsigned char> mask((rows * cols + 7) / 8);
  for (int i = 0; i < rows * cols; ++i) {
    gi[i] = in.Below(1000) - 500;
    gd[i] = in.Between(-5.0, 5.0);
  }
  for (unsigned char& b : mask) b = static_cast<unsigned char>(in.Below(256));
  for (int k = 0; k < n; ++k) {
    coords[2 * k] = 1 + in.Below(rows);
    coords[2 * k + 1] = 1 + in.Below(cols);
    vi[k] = in.Below(100);
    vd[k] = in.Between(0.0, 1.0);
  }
  clip_i[3 * cols + 4] = 7;
  clip_i[6 * cols + 10] = -2;
  clip_d[2 * cols + 11] = kNaN;
  clip_d[7 * cols + 1] = 0.5;
  Digest d;
  d.Add(mvrep_int(rows, cols, -1, 42, gi.data(), mask.data()));
  d.Add(mvrep_dbl(rows, cols, -1.0, 4.25, gd.data(), mask.data()));
  d.Add(sparseput_int(rows, cols, n, gi.data(), coords.data(), vi.data()));
  d.Add(sparseput_dbl(rows, cols, n, gd.data(), coords.data(), vd.data()));
  std::reverse(coords.begin(), coords.end());  // (column, row) pairs now: some fall outside
  d.Add(sparseget_int(rows, cols, n, gi.data(), coords.data(), vi.data()));
  d.Add(sparseget_dbl(rows, cols, n, gd.data(), coords.data(), vd.data()));
  std::vector<int> box_i(4, 0), box_d(4, 0);
  d.Add(clip_int(rows, cols, clip_i.data(), box_i.data()));
  d.Add(clip_dbl(rows, cols, clip_d.data(), box_d.data()));
  return d.Add(gi).Add(gd).Add(vi).Add(vd).Add(box_i).Add(box_d).Hex();
}

// Centre, shoulders, tails beyond the exponential's domain whose density
// is exactly 0, and values that bypass the exponential; a count that fills
// no whole vector. (Not the narrow band of subnormal densities: the C
// library's exponential computes those, and C libraries differ there.)
std::vector<double> DensityInputs(Inputs& in, int count) {
  std::vector<double> x(count);
  for (double& v : x) {
    const int kind = in.Below(20);
    if (kind == 0) {
      v = (in.Chance(50) ? 1 : -1) * in.Between(61.0, 70.0);
    } else if (kind == 1) {
      v = -9999.0;  // the missing value
    } else {
      v = in.Between(-8.0, 8.0);
    }
  }
  x[5] = kNaN;
  x[6] = kInf;
  x[7] = -kInf;
  x[8] = 0.5;
  return x;
}

std::string ZDensityDigest(std::uint64_t seed, double mean, double sd) {
  Inputs in(seed);
  std::vector<double> x = DensityInputs(in, 1003);
  const int code = zdensity(mean, sd, static_cast<int>(x.size()), x.data(), -9999.0);
  return Digest().Add(code).Add(x).Hex();
}

std::string ConnectRescaleDigest(std::uint64_t seed, bool matrix) {
  const int rows = 19, cols = 23;
  Inputs in(seed);
  std::vector<double> values(rows * cols), weights(rows * cols), result(matrix ? rows * cols : 1);
  std::vector<int> mask(rows * cols);
  for (int i = 0; i < rows * cols; ++i) {
    values[i] = in.Chance(5) ? 0.0 : in.Between(-30.0, 30.0);
    weights[i] = in.Between(0.0, 2.0);
    mask[i] = in.Chance(15) ? -1 : in.Below(3);
  }
  const int code = matrix ? connect_rescale_matrix(7.5, 1.25, rows, cols, -1.0, values.data(),
                                                   weights.data(), mask.data(), result.data())
                          : connect_rescale_scalar(7.5, 1.25, rows, cols, -1.0, values.data(),
                                                   weights.data(), mask.data(), result.data());
  return Digest().Add(code).Add(values).Add(result).Hex();
}

// mode 0 on probabilities; mode 1 on lengths (the min-plus road on x86),
// on lengths with negative ones (the general blocked road) and with a
// negative diagonal (the plain road).
std::string FloydWarshallDigest(std::uint64_t seed, int mode, int variant) {
  const int n = 37;
  Inputs in(seed);
  std::vector<double> m(n * n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double& v = m[i * n + j];
      if (i == j) {
        v = mode == 0 ? 1.0 : (variant == 2 && i % 5 == 0 ? -0.5 : 0.0);
      } else if (in.Chance(40)) {
        v = 0.0;
      } else if (mode == 0) {
        v = in.Between(0.0, 1.0);
      } else {
        v = variant >= 1 && in.Chance(5) ? in.Between(-2.0, 0.0) : in.Between(0.5, 20.0);
      }
    }
  const int code = floyd_warshall(n, m.data(), mode);
  return Digest().Add(code).Add(m).Hex();
}

template <typename T>
std::string EudistDigest(std::uint64_t seed, int skip) {
  const int layers = 11, rows = 23, cols = 29;
  Inputs in(seed);
  const T missing = static_cast<T>(-1);
  std::vector<T> reference(layers), stack(layers * rows * cols);
  auto draw = [&] {
    if (in.Chance(7)) return missing;
    return sizeof(T) == 8 ? static_cast<T>(in.Between(0.0, 100.0)) : static_cast<T>(in.Below(1000));
  };
  for (T& v : reference) v = draw();
  for (T& v : stack) v = draw();
  std::vector<double> result(rows * cols, -5.0);
  int code;
  if constexpr (sizeof(T) == 8) {
    code = eudist_dbl(layers, rows, cols, missing, reference.data(), stack.data(), result.data(),
                      skip);
  } else {
    code = eudist_int(layers, rows, cols, missing, reference.data(), stack.data(), result.data(),
                      skip);
  }
  return Digest().Add(code).Add(result).Hex();
}

std::map<std::string, std::string> AllDigests() {
  std::map<std::string, std::string> d;
  d["spread/doubles_diagonal"] = SpreadDigest(1, 61, 67, false, 1);
  d["spread/doubles_straight"] = SpreadDigest(2, 61, 67, false, 0);
  d["spread/integers_diagonal"] = SpreadDigest(3, 45, 53, true, 1);
  d["spread/integers_straight"] = SpreadDigest(4, 45, 53, true, 0);
  d["wetspread"] = WetspreadDigest(5);
  d["patch_scan/4"] = PatchDigest(6, 47, 53, 4, -9999);
  d["patch_scan/8"] = PatchDigest(7, 47, 53, 8, -9999);
  d["patch_scan/8_missing_among_values"] = PatchDigest(8, 31, 131, 8, 2);
  d["patch_scan/4_narrow"] = PatchDigest(9, 29, 3, 4, -1);
  d["matrix_utilities"] = MatrixUtilitiesDigest(10);
  d["zdensity/standard"] = ZDensityDigest(11, 0.0, 1.0);
  d["zdensity/shifted"] = ZDensityDigest(12, 0.5, 1.5);
  d["connect_rescale_matrix"] = ConnectRescaleDigest(13, true);
  d["connect_rescale_scalar"] = ConnectRescaleDigest(14, false);
  d["floyd_warshall/product"] = FloydWarshallDigest(15, 0, 0);
  d["floyd_warshall/lengths"] = FloydWarshallDigest(16, 1, 0);
  d["floyd_warshall/negative_lengths"] = FloydWarshallDigest(17, 1, 1);
  d["floyd_warshall/negative_diagonal"] = FloydWarshallDigest(18, 1, 2);
  d["eudist_int"] = EudistDigest<int>(19, 0);
  d["eudist_int/skip"] = EudistDigest<int>(20, 1);
  d["eudist_dbl"] = EudistDigest<double>(21, 0);
  d["eudist_dbl/skip"] = EudistDigest<double>(22, 1);
  return d;
}

TEST(ExportDigests, EveryExportGivesTheBitsOfTheX86Build) {
  const std::map<std::string, std::string> got = AllDigests();
  if (const char* out = std::getenv("MIRL_DIGESTS_OUT")) {
    std::ofstream file(out);
    file << "# Digests of the analysis exports' results on the inputs of\n"
            "# export_digests_test.cpp, made by an x86-64 build.\n";
    for (const auto& [name, digest] : got) file << name << " " << digest << "\n";
  }
  const std::map<std::string, std::string> want =
      mirl_test::ReadDigests(MIRL_SOURCE_DIR "/tests/analysis/export_digests.txt");
  ASSERT_FALSE(want.empty()) << "no expected digests";
  for (const auto& [name, digest] : got) {
    const auto it = want.find(name);
    if (it == want.end()) {
      ADD_FAILURE() << name << ": no expected digest (this build gives " << digest << ")";
    } else {
      EXPECT_EQ(digest, it->second) << name;
    }
  }
  EXPECT_EQ(want.size(), got.size()) << "expected digests of cases that no longer exist";
  mirl::analysis::ReleaseSpreadBuffer();
}

// The digests tell results apart at all: one bit of one input changes them.
TEST(ExportDigests, OneChangedInputChangesTheDigest) {
  EXPECT_NE(SpreadDigest(1, 61, 67, false, 1), SpreadDigest(1, 61, 67, false, 0));
  EXPECT_NE(ZDensityDigest(11, 0.0, 1.0), ZDensityDigest(11, 0.0, std::nextafter(1.0, 2.0)));
  EXPECT_NE(PatchDigest(6, 47, 53, 4, -9999), PatchDigest(6, 47, 53, 8, -9999));
  mirl::analysis::ReleaseSpreadBuffer();
}

}  // namespace
