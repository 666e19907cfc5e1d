// A writable layer whose blocks did not all reach its file must not be
// committed by its close. Writes are made to fail by a file size limit set
// in a child process (SIGXFSZ ignored, so write() fails with EFBIG); the
// parent then looks at what is on disk.
#include <gdal.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "gridio_fixture.h"

namespace {

using namespace gridio_test;

constexpr int kRows = 1024;
constexpr int kCols = 64;

// The child's exit status: 100 when some row write failed, plus the
// close's result negated.
int Pack(bool put_failed, int close_rc) { return (put_failed ? 100 : 0) + (-close_rc); }

// Runs work in a child and returns its exit status (or -1 on a signal).
template <typename Work>
int InChild(Work work) {
  const pid_t child = fork();
  if (child == 0) {
    _exit(work());
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return -2;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void LimitFileSize(rlim_t bytes) {
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit;
  limit.rlim_cur = bytes;
  limit.rlim_max = bytes;
  setrlimit(RLIMIT_FSIZE, &limit);
}

class GridioLostBlocksTest : public GridioTest {
 protected:
  void SetUp() override {
    GridioTest::SetUp();
    // The layer as it is before the failing rewrite: every cell 1.
    WriteLayer("g", kRows, kCols, 0.0, 0.0, 1.0, std::vector<float>(kRows * kCols, 1.0f));
  }

  // In a child: creates g anew under a file size limit, writes every row
  // with 7 (going on after failures, as a careless caller would) and closes.
  int RewriteUnderLimit(rlim_t limit, GIntBig cache_bytes) {
    return InChild([&]() -> int {
      if (cache_bytes > 0) GDALSetCacheMax64(cache_bytes);
      const double box[4] = {0, 0, kCols, kRows};
      const int h = CellLayerCreate(Path("g").c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box);
      if (h < 0) return 99;
      LimitFileSize(limit);
      std::vector<float> row(kCols, 7.0f);
      bool put_failed = false;
      for (int r = 0; r < kRows; ++r)
        if (PutWindowRow(h, r, row.data()) != GIO_OK) put_failed = true;
      return Pack(put_failed, CellLyrClose(h));
    });
  }

  // Whether g still holds the layer from before, cell for cell.
  bool StillTheOldLayer() {
    const std::vector<float> cells = ReadWindow<float>("g");
    for (float v : cells)
      if (v != 1.0f) return false;
    return cells.size() == static_cast<size_t>(kRows) * kCols;
  }
};

TEST_F(GridioLostBlocksTest, FailedSpanFlushPreventsTheCommit) {
  // The default cache holds a span easily: blocks only leave it at a span
  // change, through the flush that marks the layer.
  const int status = RewriteUnderLimit(96 << 10, 0);
  ASSERT_GE(status, 100) << "no row write failed: the limit did not bite";
  EXPECT_EQ(status, Pack(true, GIO_ERR_WRITE));
  EXPECT_TRUE(StillTheOldLayer());
}

TEST_F(GridioLostBlocksTest, BlockLostWhenTheCacheEvictsItPreventsTheCommit) {
  // A cache smaller than one span: GDAL writes a dirty block out while it
  // makes room for the next one inside a RasterIO call; the failed write
  // drops the block, and the next row write reports the error.
  const int status = RewriteUnderLimit(96 << 10, 12 << 10);
  ASSERT_GE(status, 100) << "no row write failed: the limit did not bite";
  EXPECT_EQ(status, Pack(true, GIO_ERR_WRITE)) << "the close committed the layer";
  EXPECT_TRUE(StillTheOldLayer()) << "a layer with lost blocks replaced the old one";
}

}  // namespace
