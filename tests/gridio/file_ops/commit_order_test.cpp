// The order in which a commit reaches the disk, read off the file calls the
// library makes: what must be forced before what, so that a power loss at
// any moment leaves the old layer or the new one.
#include <algorithm>

#include "gridio/file_ops/file_ops_shim.h"
#include "gridio/gridio_fixture.h"

namespace {

using file_ops::Event;
using file_ops::Op;
using namespace gridio_test;

class CommitOrderTest : public GridioTest {
 protected:
  void SetUp() override {
    GridioTest::SetUp();
    SetWindow(0, 0, 64, 64, 1);
    WriteLayer("g", 64, 64, 0, 0, 1, std::vector<float>(64 * 64, 1.0f));
    root_ = fs::canonical(dir_.path()).string();
  }
  void TearDown() override {
    file_ops::Unwatch();
    GridioTest::TearDown();
  }

  std::string At(const std::string& name) const { return root_ + "/" + name; }

  // Indexes of the events that match.
  template <typename Match>
  std::vector<size_t> Find(Match match) const {
    std::vector<size_t> found;
    const std::vector<Event>& events = file_ops::Events();
    for (size_t i = 0; i < events.size(); ++i)
      if (match(events[i])) found.push_back(i);
    return found;
  }
  std::vector<size_t> Syncs(const std::string& path) const {
    return Find([&](const Event& e) { return e.op == Op::kSync && e.path == path; });
  }
  std::vector<size_t> Writes(const std::string& path) const {
    return Find([&](const Event& e) { return e.op == Op::kWrite && e.path == path; });
  }

  // Whether one of candidates lies in (after, before).
  static bool Between(const std::vector<size_t>& candidates, long after, long before) {
    return std::any_of(candidates.begin(), candidates.end(), [&](size_t i) {
      return static_cast<long>(i) > after && static_cast<long>(i) < before;
    });
  }

  std::string Trace() const {
    std::string text;
    for (const Event& e : file_ops::Events()) text += file_ops::Describe(e) + "\n";
    return text;
  }

  std::string root_;
};

TEST_F(CommitOrderTest, AnUpdateInPlaceForcesItsJournalBeforeTheRasterAndItsEndAfter) {
  file_ops::Watch(root_);
  int32_t type;
  double size;
  const int h = CellLayerOpen(Path("g").c_str(), GIO_READWRITE, 1, &type, &size);
  ASSERT_GE(h, 0);
  std::vector<float> row(64, 2.0f);
  for (int r = 10; r < 20; ++r) ASSERT_EQ(PutWindowRow(h, r, row.data()), GIO_OK);
  ASSERT_EQ(CellLyrClose(h), GIO_OK);
  file_ops::Unwatch();

  const std::string raster = At("g/layer.tif"), journal = At("g/.layer.tif.gridio-journal");
  const std::vector<size_t> raster_writes = Writes(raster), journal_writes = Writes(journal);
  ASSERT_FALSE(raster_writes.empty()) << Trace();
  ASSERT_FALSE(journal_writes.empty()) << Trace();
  // Not one byte of the raster changes before the bytes it overwrites, and
  // the journal's name, are on the disk.
  for (size_t w : raster_writes) {
    long last_journal_write = -1;
    for (size_t j : journal_writes)
      if (j < w) last_journal_write = static_cast<long>(j);
    EXPECT_TRUE(Between(Syncs(journal), last_journal_write, static_cast<long>(w)))
        << "raster write " << w << " before its journal was forced\n" << Trace();
  }
  EXPECT_TRUE(Between(Syncs(At("g")), -1, static_cast<long>(raster_writes.front())))
      << "the journal's name was not forced\n" << Trace();
  // The commit: the raster forced, then the journal removed, then the
  // removal forced.
  const std::vector<size_t> removal = Find(
      [&](const Event& e) { return e.op == Op::kUnlink && e.path == journal; });
  ASSERT_EQ(removal.size(), 1u) << Trace();
  EXPECT_TRUE(Between(Syncs(raster), static_cast<long>(raster_writes.back()),
                      static_cast<long>(removal.front())))
      << "the journal went before the raster was forced\n" << Trace();
  EXPECT_TRUE(Between(Syncs(At("g")), static_cast<long>(removal.front()), 1L << 30))
      << "the journal's removal was not forced\n" << Trace();
}

TEST_F(CommitOrderTest, AReplacementIsForcedBeforeItsRenameAndItsDirectoryAfter) {
  const double box[4] = {0, 0, 64, 64};
  std::vector<float> row(64, 3.0f);
  file_ops::Watch(root_);
  const int h = CellLayerCreate(Path("g").c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box);
  ASSERT_GE(h, 0);
  for (int r = 0; r < 64; ++r) ASSERT_EQ(PutWindowRow(h, r, row.data()), GIO_OK);
  ASSERT_EQ(CellLyrClose(h), GIO_OK);
  // A copy puts a new raster in place the same way.
  ASSERT_EQ(GridCopy(Path("g").c_str(), Path("copy").c_str()), GIO_OK);
  file_ops::Unwatch();

  for (const std::string& layer : {std::string("g"), std::string("copy")}) {
    const std::string raster = At(layer + "/layer.tif");
    const std::vector<size_t> renames = Find(
        [&](const Event& e) { return e.op == Op::kRename && e.target == raster; });
    ASSERT_EQ(renames.size(), 1u) << layer << "\n" << Trace();
    const Event& rename = file_ops::Events()[renames.front()];
    EXPECT_TRUE(Between(Syncs(rename.path), -1, static_cast<long>(renames.front())))
        << layer << ": renamed before it was forced\n" << Trace();
    EXPECT_TRUE(Between(Syncs(At(layer)), static_cast<long>(renames.front()), 1L << 30))
        << layer << ": the rename was not forced\n" << Trace();
  }
  EXPECT_EQ(ReadWindow<float>("g"), std::vector<float>(64 * 64, 3.0f));
}

}  // namespace
