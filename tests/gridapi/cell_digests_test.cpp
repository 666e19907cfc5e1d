// The cell conversions between callers and packets, and the server's
// marker pass, on fixed cells (NaN, infinities, -0, values past either
// type's range, the markers): their results as digests of what the x86-64
// build gives, so that every compiler and processor (SSE2 or plain loops)
// is held to the same bits.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "gridapi/cell_convert.h"
#include "server/memgrid_cell_kernels.h"
#include "support/digest.h"

namespace {

using mirl_test::Digest;

// Awkward cells first, then plain ones; 37 of them, so that no vector width
// divides the count.
std::vector<double> Doubles() {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> v = {std::numeric_limits<double>::quiet_NaN(), inf, -inf, -0.0, 0.0,
                           2147483647.0, 2147483647.5, 2147483648.0, -2147483648.0,
                           -2147483648.75, -2147483649.0, 3.4028234663852886e38,
                           3.4028235677973366e38, -3.5e38, 1e-46, -1.5, 2.5, -2.5, 0.1};
  mirl_test::Inputs in(31);
  while (v.size() < 37) v.push_back(in.Between(-1e6, 1e6));
  return v;
}

TEST(CellDigests, ConversionsGiveTheBitsOfTheX86Build) {
  const std::vector<double> doubles = Doubles();
  std::vector<float> floats;
  mirl::gridapi::CopyIn(doubles.data(), doubles.size(), floats);
  std::vector<std::int32_t> ints(doubles.size());
  for (size_t i = 0; i < doubles.size(); ++i) ints[i] = mirl::gridapi::TruncateToInt(doubles[i]);
  std::vector<double> widened(floats.size()), from_ints(ints.size());
  std::vector<std::int32_t> truncated(floats.size());
  ASSERT_TRUE(mirl::gridapi::CopyOut(floats, floats.size(), widened.data()));
  ASSERT_TRUE(mirl::gridapi::CopyOut(floats, floats.size(), truncated.data()));
  ASSERT_TRUE(mirl::gridapi::CopyOut(ints, ints.size(), from_ints.data()));
  std::vector<float> marked = floats;
  grd_svr::ReplaceMarker(marked.data(), marked.size(), floats[5], -9999.0f);
  std::vector<std::int32_t> marked_ints = ints;
  grd_svr::ReplaceMarker(marked_ints.data(), marked_ints.size(), ints[7], -1);
  EXPECT_EQ(Digest().Add(floats).Add(ints).Hex(), "a38961a423e3d893");
  EXPECT_EQ(Digest().Add(widened).Add(truncated).Add(from_ints).Hex(), "b0071e0ec61684ce");
  EXPECT_EQ(Digest().Add(marked).Add(marked_ints).Hex(), "0fb683f21aecaf14");
}

}  // namespace
