#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "gridio_fixture.h"

namespace {

using namespace gridio_test;

// Runs work in a child process that is killed (SIGKILL, no clean-up of any
// kind) as soon as work returns, and waits for it.
template <typename Work>
void RunAndKill(Work work) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    work();
    raise(SIGKILL);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_EQ(WTERMSIG(status), SIGKILL);
}

// Half of a 64 x 64 float layer written through handle, each row full of value.
void WriteHalf(int handle, float value) {
  std::vector<float> row(64, value);
  for (int r = 0; r < 32; ++r)
    if (PutWindowRow(handle, r, row.data()) != GIO_OK) _exit(3);
}

// Visible files only: a killed writer may leave its hidden partial file.
std::vector<std::string> VisibleListing(const fs::path& dir) {
  std::vector<std::string> visible;
  for (const std::string& name : Listing(dir))
    if (name[0] != '.') visible.push_back(name);
  return visible;
}

class GridioDurabilityTest : public GridioTest {
 protected:
  void SetUp() override {
    GridioTest::SetUp();
    SetWindow(0, 0, 64, 64, 1);
  }
};

TEST_F(GridioDurabilityTest, KilledWhileCreatingLeavesNoLayer) {
  const double box[4] = {0, 0, 64, 64};
  RunAndKill([&] {
    const int h = CellLayerCreate(Path("g").c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box);
    if (h < 0) _exit(2);
    WriteHalf(h, 5.0f);
  });
  EXPECT_EQ(GridExists(Path("g").c_str()), 0);
  EXPECT_TRUE(VisibleListing(dir_.path()).empty());
}

TEST_F(GridioDurabilityTest, KilledWhileRewritingKeepsThePreviousLayer) {
  WriteLayer("g", 64, 64, 0, 0, 1, std::vector<float>(64 * 64, 1.0f));
  RunAndKill([&] {
    int32_t type;
    double size;
    const int h = CellLayerOpen(Path("g").c_str(), GIO_READWRITE, 1, &type, &size);
    if (h < 0) _exit(2);
    WriteHalf(h, 9.0f);
  });
  EXPECT_EQ(GridExists(Path("g").c_str()), 1);
  EXPECT_EQ(ReadWindow<float>("g"), std::vector<float>(64 * 64, 1.0f));
  EXPECT_EQ(VisibleListing(dir_.path()), (std::vector<std::string>{"g", "g/layer.tif"}));
}

TEST_F(GridioDurabilityTest, KilledWhileReplacingKeepsThePreviousLayer) {
  WriteLayer("g", 64, 64, 0, 0, 1, std::vector<float>(64 * 64, 1.0f));
  const double box[4] = {0, 0, 64, 64};
  RunAndKill([&] {
    const int h = CellLayerCreate(Path("g").c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box);
    if (h < 0) _exit(2);
    WriteHalf(h, 9.0f);
  });
  EXPECT_EQ(ReadWindow<float>("g"), std::vector<float>(64 * 64, 1.0f));
}

}  // namespace
