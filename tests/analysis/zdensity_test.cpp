#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "analysis/cpu_features.h"
#include "analysis/exact_fma.h"
#include "analysis/vector_exp.h"
#include "analysis/vector_exp_avx512.h"
#include "analysis/zdensity.h"
#include "exports/analysis_stats_api.h"
#include "session/session_record.h"
#include "support/loaded_library.h"
#include "support/temp_dir.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// How far the vector exponential may be from std::exp, and the density
// (one more rounding, by the division) from the formula with std::exp.
constexpr int64_t kExpUlps = 2;
constexpr int64_t kDensityUlps = 3;

// The density as the host has always computed it: 3.1415, not pi.
double Formula(double v, double mean, double sd) {
  const double d = v - mean;
  return std::exp(-(d * d) / (sd * sd * 2)) / (std::sqrt(2 * 3.1415) * sd);
}

uint64_t Bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// Units in the last place between two finite doubles of one sign; equal
// non-finite values are 0 apart, anything else is far apart.
int64_t UlpsApart(double a, double b) {
  if (a == b || (std::isnan(a) && std::isnan(b))) return 0;
  if (!std::isfinite(a) || !std::isfinite(b) || std::signbit(a) != std::signbit(b))
    return std::numeric_limits<int64_t>::max();
  const int64_t ia = static_cast<int64_t>(Bits(std::fabs(a)));
  const int64_t ib = static_cast<int64_t>(Bits(std::fabs(b)));
  return ia > ib ? ia - ib : ib - ia;
}

#if MIRL_X86_KERNELS
MIRL_TARGET_AVX2_FMA void ExpOf(const double* x, double* y, int64_t n) {
  for (int64_t i = 0; i + 4 <= n; i += 4)
    _mm256_storeu_pd(y + i, mirl::analysis::ExpAvx2(_mm256_loadu_pd(x + i)));
}

MIRL_TARGET_AVX512 void ExpOf8(const double* x, double* y, int64_t n) {
  for (int64_t i = 0; i + 8 <= n; i += 8)
    _mm512_storeu_pd(y + i, mirl::analysis::ExpAvx512(_mm512_loadu_pd(x + i)));
}
#endif

// Arguments over the exponential's whole domain, its edges, and a count that
// fills whole vectors of four and of eight.
std::vector<double> ExpArguments() {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> wide(mirl::analysis::kExpAvx2Lowest,
                                              mirl::analysis::kExpAvx2Highest);
  std::uniform_real_distribution<double> near_zero(-1.0, 1.0);
  std::vector<double> x;
  for (int i = 0; i < 400000; ++i) x.push_back(wide(rng));
  for (int i = 0; i < 100000; ++i) x.push_back(near_zero(rng) * std::pow(10.0, -(i % 17)));
  // The reduction's edges: halfway between multiples of ln 2, and the ends.
  for (int k = -1021; k <= 1022; ++k) x.push_back((k + 0.5) * 0.6931471805599453);
  x.insert(x.end(), {0.0, -0.0, -708.0, 709.0, 1e-300, -1e-300});
  while (x.size() % 4) x.push_back(0.0);
  for (double& v : x) v = std::fmin(std::fmax(v, -708.0), 709.0);
  while (x.size() % 8) x.push_back(0.5);
  return x;
}

// The form every processor has; the vector forms give its bits (below).
TEST(VectorExp, WithinTwoUlpsOfStdExpOverItsDomain) {
  const std::vector<double> x = ExpArguments();
  std::vector<double> y(x.size());
  for (size_t i = 0; i < x.size(); ++i) y[i] = mirl::analysis::ExpScalar(x[i]);
  int64_t worst = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    const int64_t apart = UlpsApart(y[i], std::exp(x[i]));
    ASSERT_LE(apart, kExpUlps) << "x = " << x[i];
    worst = std::max(worst, apart);
  }
  RecordProperty("worst_ulps", static_cast<int>(worst));
}

#if MIRL_X86_KERNELS
TEST(VectorExp, EveryFormGivesTheSameBits) {
  const std::vector<double> x = ExpArguments();
  if (mirl::analysis::CpuHasAvx2Fma()) {
    std::vector<double> y(x.size());
    ExpOf(x.data(), y.data(), static_cast<int64_t>(x.size()));
    for (size_t i = 0; i < x.size(); ++i)
      ASSERT_EQ(Bits(y[i]), Bits(mirl::analysis::ExpScalar(x[i]))) << "AVX2, x = " << x[i];
  }
  if (mirl::analysis::CpuHasAvx512()) {
    std::vector<double> y(x.size());
    ExpOf8(x.data(), y.data(), static_cast<int64_t>(x.size()));
    for (size_t i = 0; i < x.size(); ++i)
      ASSERT_EQ(Bits(y[i]), Bits(mirl::analysis::ExpScalar(x[i]))) << "AVX-512, x = " << x[i];
  }
  if (!mirl::analysis::CpuHasAvx2Fma()) GTEST_SKIP() << "no vector form on this processor";
}
#endif

enum class Kernel { kScalar, kAvx2, kAvx512 };

bool Runs(Kernel kernel) {
  switch (kernel) {
    case Kernel::kAvx2:
      return mirl::analysis::CpuHasAvx2Fma();
    case Kernel::kAvx512:
      return mirl::analysis::CpuHasAvx512();
    default:
      return true;
  }
}

// The kernel's result on a copy of data.
std::vector<double> TransformWith(Kernel kernel, std::vector<double> data, double missing,
                                  double mean, double sd) {
  const auto c = mirl::analysis::MakeZDensityConstants(mean, sd);
  const int64_t n = static_cast<int64_t>(data.size());
  switch (kernel) {
#if MIRL_X86_KERNELS
    case Kernel::kAvx2:
      mirl::analysis::ZDensityAvx2(data.data(), n, missing, c);
      break;
    case Kernel::kAvx512:
      mirl::analysis::ZDensityAvx512(data.data(), n, missing, c);
      break;
#endif
    default:
      mirl::analysis::ZDensityScalar(data.data(), n, missing, c);
  }
  return data;
}

// The parameter picks the kernel.
class ZDensityKernels : public ::testing::TestWithParam<Kernel> {
 protected:
  void SetUp() override {
    if (!Runs(GetParam())) GTEST_SKIP() << "this processor cannot run the kernel";
  }
  std::vector<double> Transform(std::vector<double> data, double missing, double mean, double sd) {
    return TransformWith(GetParam(), std::move(data), missing, mean, sd);
  }
};

TEST_P(ZDensityKernels, FollowTheFormulaFromCentreToFarTails) {
  std::mt19937_64 rng(5);
  std::normal_distribution<double> around(2.5, 40.0);
  std::vector<double> data;
  for (int i = 0; i < 50000; ++i) data.push_back(around(rng));
  // Densities that are subnormal or 0: beyond about 37.6 sd.
  for (double z = 30; z < 45; z += 0.01) data.push_back(2.5 + 1.5 * z);
  data.insert(data.end(), {kInf, -kInf, 1e308, -1e308, 2.5});
  for (double sd : {1.5, 0.01, 250.0, -3.0}) {
    const std::vector<double> got = Transform(data, -9999.0, 2.5, sd);
    for (size_t i = 0; i < data.size(); ++i)
      ASSERT_LE(UlpsApart(got[i], Formula(data[i], 2.5, sd)), kDensityUlps)
          << "v = " << data[i] << " sd = " << sd << " got " << got[i];
  }
}

TEST_P(ZDensityKernels, MissingValuesKeepTheirBitsAndNaNStaysNaN) {
  std::vector<double> data = {-1, 0.5, -1, kNaN, 3, -1, -1, 7, -1};
  const std::vector<double> got = Transform(data, -1.0, 0.0, 1.0);
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] == -1.0) {
      EXPECT_EQ(Bits(got[i]), Bits(-1.0)) << i;
    } else if (std::isnan(data[i])) {
      EXPECT_TRUE(std::isnan(got[i]));
    } else {
      EXPECT_LE(UlpsApart(got[i], Formula(data[i], 0, 1)), kDensityUlps) << i;
    }
  }
  // A NaN missing value matches nothing, so every element is transformed.
  const std::vector<double> all = Transform({-1.0, 0.0}, kNaN, 0.0, 1.0);
  EXPECT_LE(UlpsApart(all[0], Formula(-1, 0, 1)), kDensityUlps);
  EXPECT_LE(UlpsApart(all[1], Formula(0, 0, 1)), kDensityUlps);
}

TEST_P(ZDensityKernels, EveryElementGetsTheSameBitsWhereverItLies) {
  // The last few elements of an array go through a padded copy; shifting
  // the same values across lengths and offsets must not change a bit.
  std::mt19937_64 rng(8);
  std::uniform_real_distribution<double> value(-6.0, 6.0);
  std::vector<double> base(40);
  for (double& v : base) v = value(rng);
  const std::vector<double> whole = Transform(base, 99.0, 0.3, 1.7);
  for (size_t len = 1; len <= 19; ++len)
    for (size_t at : {size_t{0}, size_t{1}, size_t{3}, size_t{21}}) {
      const std::vector<double> part(base.begin() + at, base.begin() + at + len);
      const std::vector<double> got = Transform(part, 99.0, 0.3, 1.7);
      for (size_t i = 0; i < len; ++i)
        ASSERT_EQ(Bits(got[i]), Bits(whole[at + i])) << "len " << len << " at " << at;
    }
}

INSTANTIATE_TEST_SUITE_P(ScalarAndVector, ZDensityKernels,
                         ::testing::Values(Kernel::kScalar, Kernel::kAvx2, Kernel::kAvx512),
                         [](const ::testing::TestParamInfo<Kernel>& info) {
                           return std::string(info.param == Kernel::kScalar ? "Scalar"
                                              : info.param == Kernel::kAvx2 ? "Avx2"
                                                                            : "Avx512");
                         });

TEST(ZDensityKernelsAgree, ScalarAndVectorGiveTheSameBitsOnEveryInput) {
  if (!mirl::analysis::CpuHasAvx2Fma()) GTEST_SKIP() << "needs AVX2 and FMA";
  // Centre, shoulders, the far tails where the density turns subnormal and
  // then zero, and the values that bypass the exponential.
  std::mt19937_64 rng(21);
  std::vector<double> data;
  for (double width : {1.0, 8.0, 40.0, 60.0})
    for (int i = 0; i < 20000; ++i)
      data.push_back(std::uniform_real_distribution<double>(-width, width)(rng));
  for (double v : {kNaN, kInf, -kInf, -1.0, 0.0, 1e300}) data.push_back(v);
  // An odd count, so that every kernel's last partial vector is used too.
  data.push_back(0.75);
  const std::vector<double> scalar = TransformWith(Kernel::kScalar, data, -1.0, 0.25, 1.3);
  for (Kernel kernel : {Kernel::kAvx2, Kernel::kAvx512}) {
    if (!Runs(kernel)) continue;
    const std::vector<double> vector = TransformWith(kernel, data, -1.0, 0.25, 1.3);
    for (size_t i = 0; i < data.size(); ++i)
      ASSERT_EQ(Bits(scalar[i]), Bits(vector[i]))
          << (kernel == Kernel::kAvx2 ? "AVX2" : "AVX-512") << ", v = " << data[i];
  }
}

TEST(ZDensityExport, UsesThe31415ConstantNotPi) {
  double v = 0.0;
  ASSERT_EQ(zdensity(0.0, 1.0, 1, &v, -1.0), 1);
  EXPECT_LE(UlpsApart(v, 1.0 / std::sqrt(6.283)), kDensityUlps);
  const double pi = std::acos(-1.0);
  EXPECT_GT(v - 1.0 / std::sqrt(2 * pi), 5e-6);  // 0.398948 against 0.398942
}

TEST(ZDensityExport, MeanAndSdAreUsedAsGiven) {
  std::vector<double> data = {10.0, 12.0, -5.0};
  ASSERT_EQ(zdensity(10.0, 2.0, 3, data.data(), -5.0), 1);
  EXPECT_LE(UlpsApart(data[0], 1.0 / (std::sqrt(6.283) * 2.0)), kDensityUlps);
  EXPECT_LE(UlpsApart(data[1], std::exp(-0.5) / (std::sqrt(6.283) * 2.0)), kDensityUlps);
  EXPECT_EQ(data[2], -5.0);
  // sd 0 gives exp(-0 / 0) / 0 and exp(-1 / 0) / 0 = 0 / 0; a negative sd
  // negative densities.
  std::vector<double> zero_sd = {0.0, 1.0}, negative_sd = {0.0, 1.0};
  ASSERT_EQ(zdensity(0.0, 0.0, 2, zero_sd.data(), -1.0), 1);
  EXPECT_TRUE(std::isnan(zero_sd[0]) && std::isnan(zero_sd[1]));
  ASSERT_EQ(zdensity(0.0, -1.0, 2, negative_sd.data(), -1.0), 1);
  EXPECT_LE(UlpsApart(negative_sd[0], -1.0 / std::sqrt(6.283)), kDensityUlps);
  EXPECT_LT(negative_sd[1], 0.0);
}

TEST(ZDensityExport, ArgumentCodesInOrderLeaveDataUntouched) {
  std::vector<double> data = {1.0, 2.0};
  EXPECT_EQ(zdensity(0, 1, 0, data.data(), -1), -401);
  EXPECT_EQ(zdensity(0, 1, -3, data.data(), -1), -401);
  EXPECT_EQ(zdensity(0, 1, 0, nullptr, -1), -401);  // count first
  EXPECT_EQ(zdensity(0, 1, 2, nullptr, -1), -402);
  EXPECT_EQ(data[0], 1.0);
  EXPECT_EQ(data[1], 2.0);
}

TEST(ZDensityHost, RTwinStoresTheCodeItReturns) {
  mirl_test::LoadedLibrary lib;
  auto R_zdensity = lib.find<int (*)(int*, double*, double*, int*, double*, double*)>("R_zdensity");
  ASSERT_NE(R_zdensity, nullptr);
  std::vector<double> data = {0.0, -1.0};
  int result = 0, count = 2;
  double mean = 0, sd = 1, missing = -1;
  EXPECT_EQ(R_zdensity(&result, &mean, &sd, &count, data.data(), &missing), 1);
  EXPECT_EQ(result, 1);
  EXPECT_LE(UlpsApart(data[0], Formula(0, 0, 1)), kDensityUlps);
  EXPECT_EQ(data[1], -1.0);
  count = 0;
  EXPECT_EQ(R_zdensity(&result, &mean, &sd, &count, data.data(), &missing), -401);
  EXPECT_EQ(result, -401);
}

TEST(ZDensityLog, OnlyArgumentFailuresWriteAResultLine) {
  mirl_test::TempDir dir;
  mirl_test::ScopedCwd cwd(dir.path());
  mirl::session::OpenSessionLog();
  double v = 1.0;
  EXPECT_EQ(zdensity(0, 1, 1, &v, -1), 1);
  EXPECT_EQ(zdensity(0, 1, 1, nullptr, -1), -402);
  mirl::session::CloseSession();
  std::ifstream in(dir.file("mirl_lib_log.txt"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(line.find("| ") + 2));
  EXPECT_EQ(lines, (std::vector<std::string>{"Entering zdensity", "Entering zdensity",
                                             "zdensity returned with code: -402"}));
}

}  // namespace

namespace {

// The processor's own fused multiply-add is the oracle (a C library's
// std::fma may round twice where it emulates one).
#if MIRL_TARGET_HAS_FMA
bool HasHardwareFma() { return true; }
double HardwareFma(double a, double b, double c) { return __builtin_fma(a, b, c); }
#elif defined(__x86_64__) || defined(__i386__)
bool HasHardwareFma() { return __builtin_cpu_supports("fma"); }
__attribute__((target("fma"))) double HardwareFma(double a, double b, double c) {
  return _mm_cvtsd_f64(_mm_fmadd_sd(_mm_set_sd(a), _mm_set_sd(b), _mm_set_sd(c)));
}
#else
bool HasHardwareFma() { return false; }
double HardwareFma(double, double, double) { return 0; }
#endif

// Both forms against the oracle: the integer one, and the one the build
// uses (the instruction itself where the target has it).
::testing::AssertionResult SameAsHardware(double a, double b, double c) {
  const double want = HardwareFma(a, b, c);
  for (double got : {mirl::analysis::ExactFmaInteger(a, b, c), mirl::analysis::ExactFma(a, b, c)})
    if (Bits(got) != Bits(want))
      return ::testing::AssertionFailure() << std::hexfloat << a << " * " << b << " + " << c
                                           << " gives " << got << ", not " << want;
  return ::testing::AssertionSuccess();
}

TEST(ExactFma, RoundsOnceLikeAFusedMultiplyAdd) {
  if (!HasHardwareFma()) GTEST_SKIP() << "needs FMA as the oracle";
  std::mt19937_64 rng(17);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> scale(-60, 60);
  std::uniform_int_distribution<std::uint64_t> bits(0, ~std::uint64_t{0});
  for (int i = 0; i < 2000000; ++i) {
    double a = std::ldexp(unit(rng), scale(rng));
    double b = std::ldexp(unit(rng), scale(rng));
    double c;
    switch (i % 5) {
      case 4: {  // a product exactly between two doubles, and a far smaller c
        a = std::ldexp(static_cast<double>((std::uint64_t{1} << 52) | (bits(rng) >> 12) | 1), -52);
        b = 3.0;
        c = std::ldexp(i % 2 ? 1.0 : -1.0, -70 - scale(rng) - 60);
        break;
      }
      case 0:  // near-cancellation against the rounded product
        c = -(a * b) * (1 + std::ldexp(unit(rng), -40));
        break;
      case 1:  // exactly minus the rounded product
        c = -(a * b);
        break;
      case 2: {  // ties: values with few significant bits
        a = std::ldexp(static_cast<double>(bits(rng) >> 40), scale(rng));
        b = std::ldexp(static_cast<double>(bits(rng) >> 40), scale(rng));
        c = std::ldexp(static_cast<double>(bits(rng) >> 11), scale(rng) - 60);
        break;
      }
      default:
        c = std::ldexp(unit(rng), scale(rng) * 2);
    }
    ASSERT_TRUE(SameAsHardware(a, b, c));
  }
  // The exponential's own operations, with its constants.
  for (int i = 0; i < 200000; ++i) {
    const double n = std::nearbyint(unit(rng) * 65000);
    const double x = unit(rng) * 700;
    ASSERT_TRUE(SameAsHardware(-n, 0x1.62e42fefa39efp-7, x));
  }
}

}  // namespace
