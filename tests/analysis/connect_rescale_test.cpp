#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "analysis/connect_rescale.h"
#include "exports/analysis_stats_api.h"
#include "session/session_record.h"
#include "support/loaded_library.h"
#include "support/temp_dir.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
// The density step's vector exponential is within a few ulp of std::exp.
constexpr double kRel = 1e-15;

double Density(double x) { return std::exp(-x * x / 2) / std::sqrt(2 * 3.1415); }

// A set of inputs with verbs to run either export on copies of them.
struct Inputs {
  int rows = 0, cols = 0;
  double divisor = 1, offset = 0, missing = -1;
  std::vector<double> values, weights;
  std::vector<int> mask;

  int Matrix(std::vector<double>& result) {
    result.assign(values.size(), -77.0);
    return connect_rescale_matrix(divisor, offset, rows, cols, missing, values.data(),
                                  weights.data(), mask.data(), result.data());
  }
  int Scalar(double& result) {
    return connect_rescale_scalar(divisor, offset, rows, cols, missing, values.data(),
                                  weights.data(), mask.data(), &result);
  }
};

Inputs OneByThree() {
  Inputs in;
  in.rows = 1;
  in.cols = 3;
  in.values = {0.5, 2.0, 4.0};
  in.weights = {1.0, 2.0, 5.0};
  in.mask = {1, 1, -1};  // the third cell is not admitted
  return in;
}

TEST(ConnectRescale, MatrixDividesDensitiesByTheAdmittedWeight) {
  Inputs in = OneByThree();
  std::vector<double> result;
  ASSERT_EQ(in.Matrix(result), 1);
  const double w = 3.0;                             // 1 + 2; the unadmitted cell's 5 does not count
  EXPECT_NEAR(result[0], Density(-0.5) / w, kRel);  // exp(-0.125) / sqrt(6.283) / 3
  EXPECT_NEAR(result[1], Density(-2.0) / w, kRel);
  EXPECT_EQ(result[2], 0.0);
  // The values array keeps the densities, missing where nothing was admitted.
  EXPECT_NEAR(in.values[0], 0.3521, 5e-5);  // about 0.3521 before the division by W
  EXPECT_NEAR(in.values[1], Density(-2.0), kRel);
  EXPECT_EQ(in.values[2], -1.0);
}

TEST(ConnectRescale, ScalarSumsTheNormalisedDensities) {
  Inputs in = OneByThree();
  double result = 0;
  ASSERT_EQ(in.Scalar(result), 1);
  EXPECT_NEAR(result, (Density(-0.5) + Density(-2.0)) / 3.0, kRel);
  EXPECT_NEAR(in.values[0], Density(-0.5), kRel);
}

TEST(ConnectRescale, OffsetAndDivisorRescaleBeforeTheDensity) {
  Inputs in = OneByThree();
  in.divisor = 4.0;
  in.offset = 1.0;
  std::vector<double> result;
  ASSERT_EQ(in.Matrix(result), 1);
  EXPECT_NEAR(in.values[0], Density(1.0 - 0.5 / 4.0), kRel);
  EXPECT_NEAR(in.values[1], Density(1.0 - 2.0 / 4.0), kRel);
}

TEST(ConnectRescale, ZeroValueIsNoDataButItsWeightCounts) {
  Inputs in = OneByThree();
  in.values[1] = 0.0;
  std::vector<double> result;
  ASSERT_EQ(in.Matrix(result), 1);
  EXPECT_EQ(in.values[1], -1.0);
  EXPECT_EQ(result[1], 0.0);
  EXPECT_NEAR(result[0], Density(-0.5) / 3.0, kRel);  // W still 1 + 2
}

TEST(ConnectRescale, WeightEqualToTheMissingValueIsAddedToo) {
  Inputs in = OneByThree();
  in.weights = {1.0, -1.0, 5.0};
  double result = 0;
  ASSERT_EQ(in.Scalar(result), 1);
  EXPECT_TRUE(std::isinf(result));  // W = 1 + (-1) = 0
}

TEST(ConnectRescale, MaskThatAdmitsNothing) {
  Inputs in = OneByThree();
  in.mask = {-1, -1, -1};
  std::vector<double> result;
  ASSERT_EQ(in.Matrix(result), 1);
  EXPECT_EQ(result, (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(in.values, (std::vector<double>{-1, -1, -1}));
  Inputs again = OneByThree();
  again.mask = {-1, -1, -1};
  double scalar = 0;
  ASSERT_EQ(again.Scalar(scalar), 1);
  EXPECT_TRUE(std::isnan(scalar));  // 0 / 0
}

TEST(ConnectRescale, MaskMissingIsTheMissingValueTruncatedTowardZero) {
  Inputs in = OneByThree();
  in.missing = -1.5;
  in.mask = {-1, -2, 3};  // -1 is -1.5 truncated: not admitted; -2 is admitted
  std::vector<double> result;
  ASSERT_EQ(in.Matrix(result), 1);
  EXPECT_EQ(in.values[0], -1.5);
  EXPECT_NEAR(result[1], Density(-2.0) / 7.0, kRel);
  EXPECT_NEAR(result[2], Density(-4.0) / 7.0, kRel);
}

TEST(ConnectRescale, MissingValueWithoutIntegerCounterpartAdmitsEveryCell) {
  for (double missing : {kNaN, 1e12, -3e9}) {
    const mirl::analysis::CMaskMissing mm(missing);
    EXPECT_FALSE(mm.exists()) << missing;
    EXPECT_TRUE(mm.admits(std::numeric_limits<int>::min()));
    EXPECT_TRUE(mm.admits(0));
  }
  const mirl::analysis::CMaskMissing edge(2147483647.9);
  EXPECT_TRUE(edge.exists());
  EXPECT_FALSE(edge.admits(2147483647));
  Inputs in = OneByThree();
  in.missing = kNaN;
  std::vector<double> result;
  ASSERT_EQ(in.Matrix(result), 1);
  EXPECT_NEAR(result[2], Density(-4.0) / 8.0, kRel);
}

TEST(ConnectRescale, MatchesTheRuleOnRandomMatrices) {
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> value(-3, 3), weight(0, 2);
  std::bernoulli_distribution admitted(0.7), zero(0.05);
  Inputs in;
  in.rows = 13;
  in.cols = 29;
  in.divisor = 0.7;
  in.offset = 0.25;
  in.missing = -99;
  for (int i = 0; i < in.rows * in.cols; ++i) {
    in.values.push_back(zero(rng) ? 0.0 : value(rng));
    in.weights.push_back(weight(rng));
    in.mask.push_back(admitted(rng) ? i : -99);
  }
  double w = 0, sum = 0;
  std::vector<double> density(in.values.size(), 0.0);
  for (size_t i = 0; i < in.values.size(); ++i) {
    if (in.mask[i] == -99) continue;
    w += in.weights[i];
    if (in.values[i] != 0) sum += density[i] = Density(in.offset - in.values[i] / in.divisor);
  }
  Inputs copy = in;
  std::vector<double> result;
  ASSERT_EQ(in.Matrix(result), 1);
  for (size_t i = 0; i < result.size(); ++i) ASSERT_NEAR(result[i], density[i] / w, kRel) << i;
  double scalar = 0;
  ASSERT_EQ(copy.Scalar(scalar), 1);
  EXPECT_NEAR(scalar, sum / w, 1e-13);
}

TEST(ConnectRescale, ArgumentCodesInOrderLeaveEverythingUntouched) {
  Inputs in = OneByThree();
  const std::vector<double> values = in.values;
  double* v = in.values.data();
  double* w = in.weights.data();
  int* m = in.mask.data();
  double r[3] = {5, 5, 5};
  EXPECT_EQ(connect_rescale_matrix(1, 0, 0, 3, -1, v, w, m, r), -321);
  EXPECT_EQ(connect_rescale_matrix(0, 0, -1, 0, -1, nullptr, nullptr, nullptr, nullptr), -321);
  EXPECT_EQ(connect_rescale_matrix(1, 0, 1, 0, -1, v, w, m, r), -322);
  EXPECT_EQ(connect_rescale_matrix(0, 0, 1, 3, -1, v, w, m, r), -323);
  EXPECT_EQ(connect_rescale_matrix(1, 0, 1, 3, -1, nullptr, w, m, r), -324);
  EXPECT_EQ(connect_rescale_matrix(1, 0, 1, 3, -1, v, nullptr, m, r), -325);
  EXPECT_EQ(connect_rescale_matrix(1, 0, 1, 3, -1, v, w, nullptr, r), -326);
  EXPECT_EQ(connect_rescale_matrix(1, 0, 1, 3, -1, v, w, m, nullptr), -327);
  EXPECT_EQ(connect_rescale_scalar(1, 0, 0, 3, -1, v, w, m, r), -301);
  EXPECT_EQ(connect_rescale_scalar(1, 0, 1, -4, -1, v, w, m, r), -302);
  EXPECT_EQ(connect_rescale_scalar(-0.0, 0, 1, 3, -1, v, w, m, r), -303);
  EXPECT_EQ(connect_rescale_scalar(1, 0, 1, 3, -1, nullptr, w, m, r), -304);
  EXPECT_EQ(connect_rescale_scalar(1, 0, 1, 3, -1, v, nullptr, m, r), -305);
  EXPECT_EQ(connect_rescale_scalar(1, 0, 1, 3, -1, v, w, nullptr, r), -306);
  EXPECT_EQ(connect_rescale_scalar(1, 0, 1, 3, -1, v, w, m, nullptr), -307);
  EXPECT_EQ(in.values, values);
  EXPECT_EQ(r[0], 5.0);
  // A NaN divisor passes the check and makes every rescaled value NaN.
  double scalar = 0;
  EXPECT_EQ(connect_rescale_scalar(kNaN, 0, 1, 3, -1, v, w, m, &scalar), 1);
  EXPECT_TRUE(std::isnan(scalar));
}

TEST(ConnectRescaleHost, RTwinsStoreTheCodeTheyReturn) {
  mirl_test::LoadedLibrary lib;
  using Twin =
      int (*)(int*, double*, double*, int*, int*, double*, double*, double*, int*, double*);
  auto matrix = lib.find<Twin>("R_connect_rescale_matrix");
  auto scalar = lib.find<Twin>("R_connect_rescale_scalar");
  ASSERT_NE(matrix, nullptr);
  ASSERT_NE(scalar, nullptr);
  Inputs in = OneByThree();
  int code = 0;
  std::vector<double> result(3);
  EXPECT_EQ(matrix(&code, &in.divisor, &in.offset, &in.rows, &in.cols, &in.missing,
                   in.values.data(), in.weights.data(), in.mask.data(), result.data()),
            1);
  EXPECT_EQ(code, 1);
  EXPECT_NEAR(result[0], Density(-0.5) / 3.0, kRel);
  double zero = 0;
  EXPECT_EQ(scalar(&code, &zero, &in.offset, &in.rows, &in.cols, &in.missing, in.values.data(),
                   in.weights.data(), in.mask.data(), result.data()),
            -303);
  EXPECT_EQ(code, -303);
}

std::vector<std::string> LogLines(const mirl_test::TempDir& dir) {
  std::ifstream in(dir.file("mirl_lib_log.txt"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(line.find("| ") + 2));
  return lines;
}

TEST(ConnectRescaleLog, TheDensityStepWritesItsOwnEntryLine) {
  mirl_test::TempDir dir;
  mirl_test::ScopedCwd cwd(dir.path());
  mirl::session::OpenSessionLog();
  Inputs in = OneByThree();
  std::vector<double> result;
  EXPECT_EQ(in.Matrix(result), 1);
  double scalar = 0;
  in.divisor = 0;
  EXPECT_EQ(in.Scalar(scalar), -303);
  mirl::session::CloseSession();
  EXPECT_EQ(LogLines(dir),
            (std::vector<std::string>{"Entering connect_rescale_matrix", "Entering zdensity",
                                      "Entering connect_rescale_scalar",
                                      "connect_rescale_scalar returned with "
                                      "code: -303"}));
}

}  // namespace
