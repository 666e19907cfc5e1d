// The vectorised cell kernels against plain loops, at every length around
// the vector width and its remainders, with the values where float equality
// is subtle (NaN, -0, the marker itself).
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "server/memgrid_cell_kernels.h"

namespace {

const float kFloatMarker = -std::numeric_limits<float>::max();
const std::int32_t kIntMarker = -2147483647;

std::vector<float> FloatSamples(std::size_t n) {
  const float pool[] = {kFloatMarker, 0.0f, -0.0f, std::nanf(""), 1.5f, kFloatMarker, -7.25f,
                        std::numeric_limits<float>::infinity()};
  std::vector<float> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = pool[(i * 5 + n) % 8];
  return v;
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(MemgridCellKernels, FloatMarkerReplacementMatchesPlainLoop) {
  for (float missing : {-9999.0f, 0.0f, std::nanf("")}) {
    for (std::size_t n = 0; n < 40; ++n) {
      std::vector<float> got = FloatSamples(n), want = got;
      for (float& c : want)
        if (c == kFloatMarker) c = missing;
      grd_svr::ReplaceMarker(got.data(), n, kFloatMarker, missing);
      for (std::size_t i = 0; i < n; ++i)
        ASSERT_TRUE(SameBits(got[i], want[i])) << "n " << n << " i " << i;
    }
  }
}

TEST(MemgridCellKernels, NegativeZeroAndNaNMarkersFollowFloatEquality) {
  // -0 == +0 for floats, and NaN equals nothing, as with a plain comparison.
  std::vector<float> cells = {0.0f, -0.0f, std::nanf(""), 1.0f, 0.0f, -0.0f, 2.0f, 3.0f, 0.0f};
  std::vector<float> zero = cells;
  grd_svr::ReplaceMarker(zero.data(), zero.size(), -0.0f, 9.0f);
  for (std::size_t i = 0; i < cells.size(); ++i)
    EXPECT_EQ(zero[i] == 9.0f, cells[i] == 0.0f) << i;
  std::vector<float> nan = cells;
  grd_svr::ReplaceMarker(nan.data(), nan.size(), std::nanf(""), 9.0f);
  for (std::size_t i = 0; i < cells.size(); ++i) EXPECT_NE(nan[i], 9.0f) << i;
}

TEST(MemgridCellKernels, IntegerMarkerReplacementMatchesPlainLoop) {
  for (std::size_t n = 0; n < 40; ++n) {
    std::vector<std::int32_t> got(n);
    for (std::size_t i = 0; i < n; ++i) got[i] = (i % 3 == 0) ? kIntMarker : static_cast<int>(i) - 5;
    std::vector<std::int32_t> want = got;
    for (auto& c : want)
      if (c == kIntMarker) c = -99;
    grd_svr::ReplaceMarker(got.data(), n, kIntMarker, -99);
    ASSERT_EQ(got, want) << "n " << n;
  }
}

}  // namespace
