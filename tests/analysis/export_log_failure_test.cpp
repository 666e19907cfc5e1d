// A failure of the session log itself (a full disk, an allocation while
// formatting a line) inside an analysis export becomes the export's failure
// code: no exception leaves a C entry point.
#include <gtest/gtest.h>

#include <functional>
#include <ios>
#include <string>
#include <utility>
#include <vector>

#include "exports/analysis_api.h"
#include "exports/analysis_grid_api.h"
#include "exports/analysis_stats_api.h"
#include "session/session_record.h"

namespace {

class ExportLogFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Every line written to /dev/full fails at its flush; with exceptions
    // on, the failure is thrown from inside the logging call.
    log().open("/dev/full", std::ios::out | std::ios::app);
    ASSERT_TRUE(log().is_open());
    log().exceptions(std::ios::badbit | std::ios::failbit);
  }
  void TearDown() override {
    log().exceptions(std::ios::goodbit);
    log().close();
    log().clear();
  }
  static std::ofstream& log() { return mirl::session::Session().session_log; }

  // Calls the export with a fresh, failing log and returns its code.
  static int CallWithFailingLog(const std::function<int()>& call) {
    log().clear();
    return call();
  }
};

TEST_F(ExportLogFailureTest, EveryAnalysisExportReturnsItsFailureCode) {
  double d[4] = {1, 1, 1, 1};
  int i[4] = {1, 1, 1, 1};
  int coords[2] = {1, 1};
  unsigned char mask[1] = {0};
  int count = 0;
  // Each call fails an argument check, which logs its result line too.
  const std::vector<std::pair<const char*, std::pair<std::function<int()>, int>>> calls = {
      {"spread", {[&] { return spread(0, 1, 1, 2, 2, d, 1); }, -500}},
      {"wetspread", {[&] { return wetspread(0, 1, 1, 2, 2, d, i, d); }, -240}},
      {"patch_scan", {[&] { return patch_scan(i, 2, 2, 5, 0, &count); }, -220}},
      {"floyd_warshall", {[&] { return floyd_warshall(1, d, 0); }, -840}},
      {"zdensity", {[&] { return zdensity(0, 1, 0, d, -1); }, -400}},
      {"eudist_dbl", {[&] { return eudist_dbl(0, 2, 2, -1, d, d, d, 0); }, -100}},
      {"eudist_int", {[&] { return eudist_int(0, 2, 2, -1, i, i, d, 0); }, -100}},
      {"connect_rescale_matrix",
       {[&] { return connect_rescale_matrix(1, 0, 0, 2, -1, d, d, i, d); }, -320}},
      {"connect_rescale_scalar",
       {[&] { return connect_rescale_scalar(1, 0, 0, 2, -1, d, d, i, d); }, -300}},
      {"mvrep_dbl", {[&] { return mvrep_dbl(0, 2, -1, 0, d, mask); }, -200}},
      {"sparseput_int", {[&] { return sparseput_int(2, 2, 0, i, coords, i); }, -140}},
      {"sparseget_dbl", {[&] { return sparseget_dbl(2, 2, 0, d, coords, d); }, -160}},
      {"clip_int", {[&] { return clip_int(0, 2, i, i); }, -120}},
  };
  for (const auto& call : calls) {
    int code = 0;
    EXPECT_NO_THROW(code = CallWithFailingLog(call.second.first)) << call.first;
    EXPECT_EQ(code, call.second.second) << call.first;
  }
}

}  // namespace
