// A whole layer written again over an existing one (CellLayerCreate), and
// what surrounds it: it takes turns with the layer's other writers across
// processes, it is written through links to layer directories and keeps
// them, and killed writers' leftovers are swept.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "gridio_child.h"
#include "gridio_fixture.h"

namespace {

using namespace gridio_test;

constexpr int kSize = 20;

class GridioReplaceTest : public GridioTest {
 protected:
  void SetUp() override {
    GridioTest::SetUp();
    SetWindow(0, 0, kSize, kSize, 1);
  }

  void MakeLayer(const std::string& name, float value) {
    WriteLayer(name, kSize, kSize, 0, 0, 1, std::vector<float>(kSize * kSize, value));
  }

  // A whole new layer of value over path; the close's result.
  static int Replace(const std::string& path, float value) {
    const double box[4] = {0, 0, kSize, kSize};
    const int h = CellLayerCreate(path.c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box);
    if (h < 0) return h;
    std::vector<float> row(kSize, value);
    for (int r = 0; r < kSize; ++r)
      if (PutWindowRow(h, r, row.data()) != GIO_OK) return -100;
    return CellLyrClose(h);
  }

  // Row 0's first half set to value through a read-write open; the close's
  // result.
  static int WriteHalfRow(const std::string& path, float value) {
    int32_t type;
    double size;
    const int h = CellLayerOpen(path.c_str(), GIO_READWRITE, 1, &type, &size);
    if (h < 0) return h;
    std::vector<float> row(kSize);
    if (GetWindowRowFloat(h, 0, row.data()) != GIO_OK) return -100;
    std::fill(row.begin(), row.begin() + kSize / 2, value);
    if (PutWindowRow(h, 0, row.data()) != GIO_OK) return -101;
    return CellLyrClose(h);
  }

  static std::vector<std::string> Hidden(const fs::path& dir) {
    std::vector<std::string> names;
    for (const std::string& name : Listing(dir))
      if (fs::path(name).filename().string()[0] == '.') names.push_back(name);
    return names;
  }

  // Waits for child's first report, then kills it; that report.
  static int32_t KillAfterReport(const Child& child) {
    int32_t step = 0;
    if (read(child.reports, &step, sizeof(step)) != static_cast<ssize_t>(sizeof(step))) step = 0;
    return std::max(step, KillAndReap(child, 0));
  }

  static int Reap(const Child& child) {
    int status = 0;
    waitpid(child.pid, &status, 0);
    close(child.reports);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(GridioReplaceTest, ASaveWaitsForAWriterInAnotherProcessToClose) {
  MakeLayer("g", 1.0f);
  const std::string layer = Path("g");
  const Child writer = StartChild([&](int fd) -> int {
    int32_t type;
    double size;
    const int h = CellLayerOpen(layer.c_str(), GIO_READWRITE, 1, &type, &size);
    if (h < 0) return 2;
    std::vector<float> row(kSize, 5.0f);
    if (PutWindowRow(h, 3, row.data()) != GIO_OK) return 3;
    Report(fd, 1);
    SleepMicroseconds(300000);
    Report(fd, 2);
    return CellLyrClose(h) == GIO_OK ? 0 : 4;
  });
  int32_t step = 0;
  ASSERT_EQ(read(writer.reports, &step, sizeof(step)), static_cast<ssize_t>(sizeof(step)));
  ASSERT_EQ(Replace(layer, 7.0f), GIO_OK);
  // The save went on only once the writer was closing: its last report is
  // there already.
  struct pollfd ready = {writer.reports, POLLIN, 0};
  EXPECT_EQ(poll(&ready, 1, 0), 1) << "the save did not wait for the writer";
  ASSERT_EQ(read(writer.reports, &step, sizeof(step)), static_cast<ssize_t>(sizeof(step)));
  EXPECT_EQ(step, 2);
  EXPECT_EQ(Reap(writer), 0);
  EXPECT_EQ(ReadWindow<float>("g"), std::vector<float>(kSize * kSize, 7.0f));
}

TEST_F(GridioReplaceTest, AWriterThatWaitedForASaveWritesIntoTheNewLayer) {
  MakeLayer("g", 1.0f);
  const std::string layer = Path("g");
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  // Started before the save, so that it shares none of this process's
  // open layers; it opens once the save holds the layer.
  const Child writer = StartChild([&](int) -> int {
    close(go[1]);
    char byte;
    if (read(go[0], &byte, 1) != 1) return 3;
    return WriteHalfRow(layer, 9.0f) == GIO_OK ? 0 : 2;
  });
  close(go[0]);
  const double box[4] = {0, 0, kSize, kSize};
  const int h = CellLayerCreate(layer.c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box);
  ASSERT_GE(h, 0);
  ASSERT_EQ(write(go[1], "x", 1), 1);
  close(go[1]);
  SleepMicroseconds(200000);
  std::vector<float> row(kSize, 7.0f);
  for (int r = 0; r < kSize; ++r) ASSERT_EQ(PutWindowRow(h, r, row.data()), GIO_OK);
  ASSERT_EQ(CellLyrClose(h), GIO_OK);
  ASSERT_EQ(Reap(writer), 0);
  // The writer's close returned success: its cells are in the layer.
  std::vector<float> expected(kSize * kSize, 7.0f);
  std::fill(expected.begin(), expected.begin() + kSize / 2, 9.0f);
  EXPECT_EQ(ReadWindow<float>("g"), expected);
}

TEST_F(GridioReplaceTest, WritesThroughALinkedLayerChangeItsTargetAndKeepTheLink) {
  mirl_test::TempDir outside;
  fs::create_directories(outside.path() / "og");
  const std::string target = (outside.path() / "og").string();
  WriteLayer("og", kSize, kSize, 0, 0, 1, std::vector<float>(kSize * kSize, 1.0f));
  fs::rename(Path("og/layer.tif"), target + "/layer.tif");
  fs::remove(Path("og"));
  fs::create_directory_symlink(target, Path("lgrid"));

  ASSERT_EQ(Replace(Path("lgrid"), 3.0f), GIO_OK);
  ASSERT_EQ(WriteHalfRow(Path("lgrid"), 4.0f), GIO_OK);
  EXPECT_TRUE(fs::is_symlink(Path("lgrid")));
  std::vector<float> expected(kSize * kSize, 3.0f);
  std::fill(expected.begin(), expected.begin() + kSize / 2, 4.0f);
  EXPECT_EQ(ReadGeoTiff(target + "/layer.tif").values,
            std::vector<double>(expected.begin(), expected.end()));
  EXPECT_TRUE(Hidden(dir_.path()).empty());
  EXPECT_TRUE(Hidden(outside.path()).empty());
  // The link's parent is not the target's: "lgrid/.." is where the link
  // points from, as the system resolves it.
  ASSERT_EQ(Replace(Path("lgrid/../beside"), 6.0f), GIO_OK);
  EXPECT_TRUE(fs::exists(outside.path() / "beside" / "layer.tif"));
  // Deleting through the link removes the link and the layer, not the
  // directory it pointed at.
  ASSERT_EQ(CellLyrDelete(Path("lgrid").c_str()), GIO_OK);
  EXPECT_FALSE(fs::exists(fs::symlink_status(Path("lgrid"))));
  EXPECT_FALSE(fs::exists(target + "/layer.tif"));
  EXPECT_TRUE(fs::is_directory(target));
}

TEST_F(GridioReplaceTest, AKilledWritersPartialFileGoesAtTheNextCreateOfItsLayer) {
  MakeLayer("g", 1.0f);
  const std::string layer = Path("g");
  const Child killed = StartChild([&](int fd) -> int {
    const double box[4] = {0, 0, kSize, kSize};
    const int h = CellLayerCreate(layer.c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box);
    if (h < 0) return 2;
    std::vector<float> row(kSize, 8.0f);
    for (int r = 0; r < kSize; ++r) PutWindowRow(h, r, row.data());
    Report(fd, 1);
    raise(SIGKILL);
    return 0;
  });
  EXPECT_EQ(KillAfterReport(killed), 1);
  // Its partial file, and the empty journal that held its writers' turn.
  ASSERT_EQ(Hidden(dir_.path()).size(), 2u) << "nothing left to sweep";
  EXPECT_EQ(ReadWindow<float>("g"), std::vector<float>(kSize * kSize, 1.0f));
  ASSERT_EQ(Replace(layer, 2.0f), GIO_OK);
  EXPECT_TRUE(Hidden(dir_.path()).empty());
}

TEST_F(GridioReplaceTest, CleaningAWorkspaceSweepsKilledWritersLeftoversAndNoLiveOnes) {
  MakeLayer("a", 1.0f);
  MakeLayer("b", 1.0f);
  // A creator killed (a partial file of "a"), an updater killed after its
  // flush (a hot journal in "b"), and a live creator of "c".
  const Child creator = StartChild([&](int fd) -> int {
    const double box[4] = {0, 0, kSize, kSize};
    if (CellLayerCreate(Path("a").c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box) < 0) return 2;
    Report(fd, 1);
    raise(SIGKILL);
    return 0;
  });
  EXPECT_EQ(KillAfterReport(creator), 1);
  const std::string b_raster = Path("b/layer.tif");
  const Child updater = StartChild([&](int fd) -> int {
    int32_t type;
    double size;
    const int h = CellLayerOpen(Path("b").c_str(), GIO_READWRITE, 1, &type, &size);
    if (h < 0) return 2;
    // Raise the stakes: the raster itself changed, as a flush would leave
    // it, beside a journal that undoes it.
    std::vector<float> row(kSize, 6.0f);
    if (PutWindowRow(h, 0, row.data()) != GIO_OK) return 3;
    Report(fd, 1);
    raise(SIGKILL);
    return 0;
  });
  EXPECT_EQ(KillAfterReport(updater), 1);
  ASSERT_TRUE(fs::exists(Path("b/.layer.tif.gridio-journal")));

  int go[2];
  ASSERT_EQ(pipe(go), 0);
  const Child live = StartChild([&](int fd) -> int {
    close(go[1]);
    const double box[4] = {0, 0, kSize, kSize};
    const int h = CellLayerCreate(Path("c").c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box);
    if (h < 0) return 2;
    Report(fd, 1);
    char byte;
    if (read(go[0], &byte, 1) != 1) return 3;
    std::vector<float> row(kSize, 4.0f);
    for (int r = 0; r < kSize; ++r) PutWindowRow(h, r, row.data());
    return CellLyrClose(h) == GIO_OK ? 0 : 4;
  });
  close(go[0]);
  int32_t step = 0;
  ASSERT_EQ(read(live.reports, &step, sizeof(step)), static_cast<ssize_t>(sizeof(step)));

  // The partial file and the turn's journal of "a", the journal of "b".
  EXPECT_EQ(GridIOCleanWorkspace(dir_.str().c_str()), 3);
  const std::vector<std::string> left = Hidden(dir_.path());
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left.front().rfind(".c.gridio-", 0), 0u) << left.front();
  // The journal was played back without the library opening the layer.
  EXPECT_EQ(ReadGeoTiff(b_raster).values, std::vector<double>(kSize * kSize, 1.0));

  ASSERT_EQ(write(go[1], "x", 1), 1);
  close(go[1]);
  EXPECT_EQ(Reap(live), 0);
  EXPECT_EQ(ReadWindow<float>("c"), std::vector<float>(kSize * kSize, 4.0f));
  EXPECT_EQ(GridIOCleanWorkspace(dir_.str().c_str()), 0);
}

}  // namespace
