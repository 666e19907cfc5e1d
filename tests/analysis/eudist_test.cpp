#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "analysis/cpu_features.h"
#include "analysis/eudist.h"
#include "exports/analysis_stats_api.h"
#include "session/session_record.h"
#include "support/loaded_library.h"
#include "support/temp_dir.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The distance of one cell as the rule states it, written out per cell.
template <typename T>
std::vector<double> Oracle(const std::vector<T>& ref, const std::vector<T>& stack, int rows,
                           int cols, T missing, bool skip) {
  const int layers = static_cast<int>(ref.size());
  std::vector<double> out(static_cast<size_t>(rows) * cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      double sum = 0;
      for (int k = 0; k < layers; ++k) {
        const T v = stack[(static_cast<size_t>(k) * rows + r) * cols + c];
        if (skip && (ref[k] == missing || v == missing)) continue;
        const double d = static_cast<double>(ref[k]) - static_cast<double>(v);
        sum += d * d;
      }
      out[static_cast<size_t>(r) * cols + c] = std::sqrt(sum);
    }
  return out;
}

uint64_t Bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

::testing::AssertionResult SameBits(const std::vector<double>& got,
                                    const std::vector<double>& want) {
  for (size_t i = 0; i < want.size(); ++i)
    if (Bits(got[i]) != Bits(want[i]))
      return ::testing::AssertionFailure()
             << "cell " << i << ": got " << got[i] << ", want " << want[i];
  return ::testing::AssertionSuccess();
}

int Call(std::vector<double>& ref, std::vector<double>& stack, int rows, int cols, double missing,
         std::vector<double>& out, bool skip) {
  return eudist_dbl(static_cast<int>(ref.size()), rows, cols, missing, ref.data(), stack.data(),
                    out.data(), skip);
}

TEST(EudistSmall, OneLayerAndTwoLayers) {
  std::vector<double> ref = {3}, stack = {0, 7}, out(2, -5.0);
  ASSERT_EQ(Call(ref, stack, 1, 2, -1, out, false), 1);
  EXPECT_EQ(out, (std::vector<double>{3, 4}));

  std::vector<double> ref2 = {0, 0}, stack2 = {3, 4}, out2(1);
  ASSERT_EQ(Call(ref2, stack2, 1, 1, -1, out2, false), 1);
  EXPECT_EQ(out2[0], 5.0);
}

TEST(EudistSmall, SkipMissingLeavesTheLayerOut) {
  std::vector<double> ref = {-1, 2}, stack = {5, 6}, out(1);
  ASSERT_EQ(Call(ref, stack, 1, 1, -1, out, true), 1);
  EXPECT_EQ(out[0], 4.0);
  ASSERT_EQ(Call(ref, stack, 1, 1, -1, out, false), 1);
  EXPECT_EQ(out[0], std::sqrt(36.0 + 16.0));

  // A missing cell value drops only that cell's layer.
  std::vector<double> ref2 = {1, 1}, stack2 = {-1, 4, 5, -1}, out2(2);
  ASSERT_EQ(Call(ref2, stack2, 1, 2, -1, out2, true), 1);
  EXPECT_EQ(out2[0], 4.0);  // layer 0 left out: (1 - 5)^2
  EXPECT_EQ(out2[1], 3.0);  // layer 1 left out: (1 - 4)^2
  // Every layer left out gives 0.
  std::vector<double> ref3 = {-1, -1}, out3(2, 9.0);
  ASSERT_EQ(Call(ref3, stack2, 1, 2, -1, out3, true), 1);
  EXPECT_EQ(out3, (std::vector<double>{0, 0}));
}

TEST(EudistSmall, LayersFollowOneAnotherRowsRunAlong) {
  // Two layers of 2 x 3: layer 1 is the second block of six, not the second
  // value of each cell.
  std::vector<double> ref = {0, 10};
  std::vector<double> stack = {1, 2, 3, 4, 5, 6, 10, 10, 10, 10, 10, 13};
  std::vector<double> out(6);
  ASSERT_EQ(Call(ref, stack, 2, 3, -1, out, false), 1);
  EXPECT_EQ(out, (std::vector<double>{1, 2, 3, 4, 5, std::sqrt(36.0 + 9.0)}));
}

TEST(EudistSmall, NaNIsAValueNotAMissingMarker) {
  std::vector<double> ref = {1, 2}, stack = {kNaN, 3}, out(1);
  ASSERT_EQ(Call(ref, stack, 1, 1, kNaN, out, true), 1);
  EXPECT_TRUE(std::isnan(out[0]));  // a NaN missing value equals nothing
}

TEST(EudistSmall, IntegersAreSubtractedInDoublePrecision) {
  // In int32 arithmetic the difference would overflow.
  std::vector<int> ref = {std::numeric_limits<int>::max()};
  std::vector<int> stack = {std::numeric_limits<int>::min(), 0};
  std::vector<double> out(2);
  ASSERT_EQ(eudist_int(1, 1, 2, -1, ref.data(), stack.data(), out.data(), 0), 1);
  EXPECT_EQ(out[0], 4294967295.0);
  EXPECT_EQ(out[1], 2147483647.0);
  std::vector<int> ref2 = {-1, 2}, stack2 = {5, 6};
  ASSERT_EQ(eudist_int(2, 1, 1, -1, ref2.data(), stack2.data(), out.data(), 1), 1);
  EXPECT_EQ(out[0], 4.0);
}

TEST(EudistCodes, ArgumentChecksInOrder) {
  std::vector<double> ref = {1}, stack = {1}, out = {7};
  double* r = ref.data();
  double* s = stack.data();
  double* o = out.data();
  EXPECT_EQ(eudist_dbl(0, 1, 1, -1, r, s, o, 0), -101);
  EXPECT_EQ(eudist_dbl(-2, 0, 0, -1, nullptr, nullptr, nullptr, 0), -101);
  EXPECT_EQ(eudist_dbl(1, 0, 1, -1, r, s, o, 0), -102);
  EXPECT_EQ(eudist_dbl(1, 1, -1, -1, r, s, o, 0), -103);
  EXPECT_EQ(eudist_dbl(1, 1, 1, -1, nullptr, s, o, 0), -104);
  EXPECT_EQ(eudist_dbl(1, 1, 1, -1, r, nullptr, nullptr, 0), -105);
  EXPECT_EQ(eudist_dbl(1, 1, 1, -1, r, s, nullptr, 0), -106);
  std::vector<int> iref = {1}, istack = {1};
  EXPECT_EQ(eudist_int(0, 1, 1, -1, iref.data(), istack.data(), o, 0), -101);
  EXPECT_EQ(eudist_int(1, 1, 0, -1, iref.data(), istack.data(), o, 0), -103);
  EXPECT_EQ(eudist_int(1, 1, 1, -1, iref.data(), nullptr, o, 0), -105);
  EXPECT_EQ(out[0], 7.0);
}

TEST(EudistCodes, AStackBeyondTheAddressSpaceIsRefusedUntouched) {
  // No array can hold 2^31 x 2^31 x 2^31 elements; the indices would wrap.
  double ref = 1, stack = 1, out = 7;
  const int big = std::numeric_limits<int>::max();
  EXPECT_EQ(eudist_dbl(big, big, big, -1, &ref, &stack, &out, 0), -100);
  int iref = 1, istack = 1;
  EXPECT_EQ(eudist_int(big, big, big, -1, &iref, &istack, &out, 1), -100);
  EXPECT_EQ(out, 7.0);
}

// Random stacks whose shapes cross the kernels' chunk, group and vector
// boundaries, with missing values in the reference and the cells.
template <typename T>
void CheckRandomStacks(bool vector_kernel) {
  std::mt19937 rng(42);
  const T missing = static_cast<T>(-9);
  struct Shape {
    int layers, rows, cols;
  };
  for (const Shape& s : {Shape{1, 1, 1}, Shape{3, 2, 5}, Shape{8, 7, 9}, Shape{9, 31, 70},
                         Shape{11, 45, 101}, Shape{17, 3, 700}}) {
    const size_t cells = static_cast<size_t>(s.rows) * s.cols;
    std::vector<T> ref(s.layers), stack(cells * s.layers);
    std::uniform_int_distribution<int> value(-1000, 1000);
    std::bernoulli_distribution hole(0.1);
    auto draw = [&] {
      return hole(rng) ? missing : static_cast<T>(value(rng) / (sizeof(T) == 8 ? 7.0 : 1.0));
    };
    for (T& v : ref) v = draw();
    for (T& v : stack) v = draw();
    for (bool skip : {false, true}) {
      const std::vector<double> want = Oracle(ref, stack, s.rows, s.cols, missing, skip);
      std::vector<double> got(cells, -1.0);
      const mirl::analysis::CVectorView<T> rv(ref.data(), missing, s.layers);
      const mirl::analysis::CStackView<T> sv(stack.data(), missing, s.layers, s.rows, s.cols);
      const mirl::analysis::CMatrixViewDbl out(got.data(), -1.0, s.rows, s.cols);
#if MIRL_X86_KERNELS
      if (vector_kernel) {
        mirl::analysis::EudistAvx2(rv, sv, out, skip);
      } else {
        mirl::analysis::EudistScalar(rv, sv, out, skip);
      }
#else
      ASSERT_FALSE(vector_kernel);
      mirl::analysis::EudistScalar(rv, sv, out, skip);
#endif
      ASSERT_TRUE(SameBits(got, want))
          << s.layers << "x" << s.rows << "x" << s.cols << " skip=" << skip;
    }
  }
}

TEST(EudistKernels, BitForBitThePerCellLoop) {
  CheckRandomStacks<double>(false);
  CheckRandomStacks<int32_t>(false);
  if (!mirl::analysis::CpuHasAvx2()) GTEST_SKIP() << "vector kernel needs AVX2";
  CheckRandomStacks<double>(true);
  CheckRandomStacks<int32_t>(true);
}

TEST(EudistHost, RTwinsStoreTheCodeTheyReturn) {
  mirl_test::LoadedLibrary lib;
  auto R_eudist_dbl =
      lib.find<int (*)(int*, int*, int*, int*, double*, double*, double*, double*, int*)>(
          "R_eudist_dbl");
  auto R_eudist_int =
      lib.find<int (*)(int*, int*, int*, int*, int*, int*, int*, double*, int*)>("R_eudist_int");
  ASSERT_NE(R_eudist_dbl, nullptr);
  ASSERT_NE(R_eudist_int, nullptr);
  int code = 0, layers = 2, rows = 1, cols = 1, skip = 1, imissing = -1;
  double missing = -1;
  std::vector<double> ref = {-1, 2}, stack = {5, 6}, out(1);
  EXPECT_EQ(R_eudist_dbl(&code, &layers, &rows, &cols, &missing, ref.data(), stack.data(),
                         out.data(), &skip),
            1);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(out[0], 4.0);
  std::vector<int> iref = {0, 0}, istack = {3, 4};
  skip = 0;
  EXPECT_EQ(R_eudist_int(&code, &layers, &rows, &cols, &imissing, iref.data(), istack.data(),
                         out.data(), &skip),
            1);
  EXPECT_EQ(out[0], 5.0);
  rows = 0;
  EXPECT_EQ(R_eudist_int(&code, &layers, &rows, &cols, &imissing, iref.data(), istack.data(),
                         out.data(), &skip),
            -102);
  EXPECT_EQ(code, -102);
}

TEST(EudistLog, BothVariantsLogUnderOneName) {
  mirl_test::TempDir dir;
  mirl_test::ScopedCwd cwd(dir.path());
  mirl::session::OpenSessionLog();
  double d = 1, out = 0;
  int i = 1;
  EXPECT_EQ(eudist_dbl(1, 1, 1, -1, &d, &d, &out, 0), 1);
  EXPECT_EQ(eudist_int(1, 1, 1, -1, &i, &i, nullptr, 0), -106);
  mirl::session::CloseSession();
  std::ifstream in(dir.file("mirl_lib_log.txt"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(line.find("| ") + 2));
  EXPECT_EQ(lines, (std::vector<std::string>{"Entering eudist", "Entering eudist",
                                             "eudist returned with code: -106"}));
}

}  // namespace
