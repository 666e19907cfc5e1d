#include <gtest/gtest.h>

#include <cfloat>
#include <memory>

#include "gio_test_support.h"
#include "server/gio.h"
#include "server/gio_holder.h"
#include "server/gio_state.h"

namespace {

using gio_test::FakeDir;
using gio_test::FakeLibrary;
using gio_test::TraceRecorder;
using grd_svr::CGIO;
using grd_svr::CGIO_Holder;
using grd_svr::GioState;

int BoundFunctions() {
  int bound = 0;
  for (void* function : GioState().functions) bound += function != nullptr;
  return bound;
}

class GioBindingTest : public gio_test::GioStateTest {};

// What the load report says of a library loaded under base name.
std::string LoadedReport(const std::string& base) {
  return base + mirl::platform::kLibrarySuffix + " loaded;";
}

TEST_F(GioBindingTest, RealLibraryIsReadyWithItsMarkers) {
  MIRL_SKIP_WITHOUT_REAL_LIBRARY();
  CGIO_Holder holder(gio_test::RealLibraryDir());
  EXPECT_TRUE(holder.IsReady());
  EXPECT_EQ(GioState().load_report, LoadedReport("avgridio"));
  EXPECT_EQ(BoundFunctions(), grd_svr::kGioFunctionCount);
  EXPECT_EQ(GioState().missing_float, -FLT_MAX);
  EXPECT_EQ(GioState().missing_int, -2147483647);
}

TEST_F(GioBindingTest, NoLibraryInTheFolderReportsNotFound) {
  TraceRecorder trace;
  {
    CGIO_Holder holder(FakeDir("does_not_exist"));
    EXPECT_FALSE(holder.IsReady());
    EXPECT_EQ(GioState().load_report, "ESRI grid libraries not found;");
    EXPECT_EQ(BoundFunctions(), 0);
  }
  const std::vector<std::string> expected = {"Constructing CGIO", "Destructing CGIO"};
  EXPECT_EQ(trace.lines(), expected);
}

TEST_F(GioBindingTest, SecondHolderDoesNotLoadAgainNorUnloadTheFirstsLibrary) {
  FakeLibrary fake("complete");
  ASSERT_TRUE(fake.loaded());
  TraceRecorder trace;
  auto first = std::make_unique<CGIO_Holder>(FakeDir("complete"));
  ASSERT_TRUE(first->IsReady());
  {
    CGIO_Holder second(FakeDir("does_not_exist"));
    EXPECT_TRUE(second.IsReady());
    EXPECT_EQ(fake.SetupCalls(), 1);
    EXPECT_EQ(GioState().load_report, LoadedReport("avgridio"));
  }
  // The first holder still relies on the library.
  EXPECT_TRUE(first->IsReady());
  EXPECT_EQ(fake.ExitCalls(), 0);
  EXPECT_EQ(BoundFunctions(), grd_svr::kGioFunctionCount);
  first.reset();
  EXPECT_EQ(fake.ExitCalls(), 1);
  EXPECT_EQ(GioState().load_report, "");
  EXPECT_EQ(BoundFunctions(), 0);
  const std::vector<std::string> expected = {"Constructing CGIO", "Constructing CGIO",
                                             "Destructing CGIO", "Destructing CGIO"};
  EXPECT_EQ(trace.lines(), expected);
}

TEST_F(GioBindingTest, ConstructionAfterUnloadLoadsAgain) {
  FakeLibrary fake("complete");
  { CGIO_Holder holder(FakeDir("complete")); }
  {
    CGIO_Holder holder(FakeDir("complete"));
    EXPECT_TRUE(holder.IsReady());
  }
  EXPECT_EQ(fake.SetupCalls(), 2);
  EXPECT_EQ(fake.ExitCalls(), 2);
}

TEST_F(GioBindingTest, MissingEntryPointLeavesItNotReadyAndUnbound) {
  FakeLibrary fake("missing");
  CGIO_Holder holder(FakeDir("missing"));
  EXPECT_FALSE(holder.IsReady());
  EXPECT_EQ(fake.SetupCalls(), 1);
  EXPECT_EQ(GioState().module, nullptr);
  EXPECT_FALSE(GioState().loaded);
  // Functions found before the gap must not be callable into an unloaded
  // library: the guard answers instead.
  EXPECT_EQ(BoundFunctions(), 0);
  EXPECT_EQ(CGIO::GridExists("exists"), grd_svr::kGioNotBound);
  EXPECT_EQ(GioState().missing_int, 0) << "markers are set only once ready";
}

TEST_F(GioBindingTest, LibraryWithoutSetUpIsReleasedAtOnce) {
  FakeLibrary fake("no_setup");
  CGIO_Holder holder(FakeDir("no_setup"));
  EXPECT_FALSE(holder.IsReady());
  EXPECT_EQ(GioState().module, nullptr);
  EXPECT_EQ(GioState().load_report, LoadedReport("avgridio"));
  EXPECT_EQ(BoundFunctions(), 0);
}

TEST_F(GioBindingTest, RefusedSetUpKeepsTheModuleUntilTheBindingGoes) {
  FakeLibrary fake("setup_refuses");
  {
    CGIO_Holder holder(FakeDir("setup_refuses"));
    EXPECT_FALSE(holder.IsReady());
    EXPECT_NE(GioState().module, nullptr);
    EXPECT_EQ(BoundFunctions(), 1) << "only GridIOSetup was resolved";
    EXPECT_EQ(CGIO::WindowRows(), grd_svr::kGioNotBound);
  }
  // Never set up, so never exited.
  EXPECT_EQ(fake.ExitCalls(), 0);
}

TEST_F(GioBindingTest, SecondNameIsTriedWhenTheFirstIsAbsent) {
  CGIO_Holder holder(FakeDir("second_name"));
  EXPECT_TRUE(holder.IsReady());
  EXPECT_EQ(GioState().load_report, LoadedReport("aigridio"));
  EXPECT_EQ(GioState().missing_float, -9999.5f);
}

TEST_F(GioBindingTest, EveryCallAnswersMinusFiftyWhenUnbound) {
  int32_t type = 0;
  double size = 0.0;
  int32_t ints[1] = {0};
  float floats[1] = {0.0f};
  double box[4] = {0, 0, 1, 1};
  int32_t rows_cols[2];
  double stats[4];
  int32_t a, b, c;
  EXPECT_EQ(CGIO::GridExists("g"), -50);
  EXPECT_EQ(CGIO::CellLayerOpen("g", 1, 1, &type, &size), -50);
  EXPECT_EQ(CGIO::CellLayerCreate("g", 2, 1, 1, 1.0, box), -50);
  EXPECT_EQ(CGIO::CellLyrClose(0), -50);
  EXPECT_EQ(CGIO::CellLyrDelete("g"), -50);
  EXPECT_EQ(CGIO::GetWindowRowInt(0, 0, ints), -50);
  EXPECT_EQ(CGIO::GetWindowRowFloat(0, 0, floats), -50);
  EXPECT_EQ(CGIO::PutWindowRow(0, 0, ints), -50);
  EXPECT_EQ(CGIO::PutWindowRow(0, 0, floats), -50);
  EXPECT_EQ(CGIO::AccessWindowSet(box, 1.0, box), -50);
  EXPECT_EQ(CGIO::WindowRows(), -50);
  EXPECT_EQ(CGIO::WindowCols(), -50);
  EXPECT_EQ(CGIO::DescribeGridDbl("g", &size, rows_cols, box, stats, &a, &b, &c), -50);
  EXPECT_EQ(CGIO::GridCopy("a", "b"), -50);
}

TEST_F(GioBindingTest, CallsReachTheLibraryWithTheirArguments) {
  CGIO_Holder holder(FakeDir("complete"));
  ASSERT_TRUE(holder.IsReady());
  int32_t type = 0;
  double size = 0.0;
  EXPECT_EQ(CGIO::CellLayerOpen("g", 2, 1, &type, &size), 12);
  EXPECT_EQ(type, 2);
  EXPECT_EQ(size, 2.5);
  const double box[4] = {0, 0, 1, 1};
  EXPECT_EQ(CGIO::CellLayerCreate("g", 2, 1, 1, 1.0, box), 21);
  int32_t ints[1] = {0};
  float floats[1] = {0.0f};
  EXPECT_EQ(CGIO::GetWindowRowInt(3, 4, ints), 0);
  EXPECT_EQ(ints[0], 304);
  EXPECT_EQ(CGIO::GetWindowRowFloat(3, 4, floats), 0);
  EXPECT_EQ(floats[0], 304.5f);
  EXPECT_EQ(CGIO::PutWindowRow(12, 0, floats), 0);
  EXPECT_EQ(CGIO::PutWindowRow(11, 0, ints), -9);
  EXPECT_EQ(CGIO::GridExists("/x/exists"), 1);
  EXPECT_EQ(CGIO::GridExists("/x/other"), 0);
  EXPECT_EQ(CGIO::CellLyrClose(11), 0);
  EXPECT_EQ(CGIO::GridCopy("/a", "/a"), -12);
  EXPECT_EQ(CGIO::GridCopy("/a", "/b"), 0);
}

}  // namespace
