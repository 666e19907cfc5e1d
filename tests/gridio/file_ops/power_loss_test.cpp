// A power loss at every moment of a run of block writes and whole-layer
// saves over two layers, each moment replayed with none, all and random
// parts of what was not yet forced to the disk: the layers must then open
// with the cells of the last write whose close had returned, or, for the
// write under way, of the write itself; never anything in between.
#include <sys/wait.h>
#include <unistd.h>

#include "gridio/file_ops/power_loss.h"
#include "gridio/gridio_child.h"
#include "gridio/gridio_fixture.h"

namespace {

using namespace gridio_test;
using power_loss::Kept;
using power_loss::Recorder;

constexpr int kSize = 64;

struct Step {
  std::string layer;
  size_t first_event, end_event;  // the events it made: [first, end)
};

class PowerLossTest : public GridioTest {
 protected:
  void SetUp() override {
    GridioTest::SetUp();
    SetWindow(0, 0, kSize, kSize, 1);
    fs::create_directories(Root());
  }

  std::string Root() const { return dir_.file("ws"); }
  std::string Layer(const std::string& name) const { return Root() + "/" + name; }

  // The layer's cells as the library reads them now.
  std::vector<float> Cells(const std::string& dir) {
    int32_t type;
    double size;
    const int h = CellLayerOpen(dir.c_str(), GIO_READ, 1, &type, &size);
    std::vector<float> cells(kSize * kSize, 0.0f);
    if (h < 0) return std::vector<float>();
    for (int r = 0; r < kSize; ++r)
      if (GetWindowRowFloat(h, r, cells.data() + r * kSize) != GIO_OK) cells.clear();
    CellLyrClose(h);
    return cells;
  }

  void Save(const std::string& name, float base) {
    const double box[4] = {0, 0, kSize, kSize};
    const int h =
        CellLayerCreate(Layer(name).c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box);
    ASSERT_GE(h, 0);
    std::vector<float> row(kSize);
    for (int r = 0; r < kSize; ++r) {
      for (int c = 0; c < kSize; ++c) row[c] = base + static_cast<float>(r * kSize + c);
      ASSERT_EQ(PutWindowRow(h, r, row.data()), GIO_OK);
    }
    ASSERT_EQ(CellLyrClose(h), GIO_OK);
  }

  void WriteRows(const std::string& name, int first, int last, float value) {
    int32_t type;
    double size;
    const int h = CellLayerOpen(Layer(name).c_str(), GIO_READWRITE, 1, &type, &size);
    ASSERT_GE(h, 0);
    std::vector<float> row(kSize);
    for (int r = first; r < last; ++r) {
      ASSERT_EQ(GetWindowRowFloat(h, r, row.data()), GIO_OK);
      std::fill(row.begin() + 5, row.begin() + 40, value);
      ASSERT_EQ(PutWindowRow(h, r, row.data()), GIO_OK);
    }
    ASSERT_EQ(CellLyrClose(h), GIO_OK);
  }
};

TEST_F(PowerLossTest, EveryMomentOfBlockWritesAndSavesLeavesEachLayerOldOrNew) {
  // Layer a is whole; layer b holds only its first strip.
  Save("a", 0.0f);
  {
    const double box[4] = {0, 0, kSize, kSize};
    const int h = CellLayerCreate(Layer("b").c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box);
    ASSERT_GE(h, 0);
    std::vector<float> row(kSize, 9.0f);
    for (int r = 0; r < 8; ++r) ASSERT_EQ(PutWindowRow(h, r, row.data()), GIO_OK);
    ASSERT_EQ(CellLyrClose(h), GIO_OK);
  }
  std::map<std::string, std::vector<std::vector<float>>> versions;
  versions["a"].push_back(Cells(Layer("a")));
  versions["b"].push_back(Cells(Layer("b")));

  std::vector<Step> steps;
  Recorder recorder(Root(), dir_.file("recorder"));
  auto step = [&](const std::string& layer, const std::function<void()>& work) {
    const size_t first = file_ops::Events().size();
    work();
    steps.push_back(Step{layer, first, file_ops::Events().size()});
    versions[layer].push_back(Cells(Layer(layer)));
  };
  step("a", [&] { WriteRows("a", 10, 20, 1.0f); });
  step("b", [&] { WriteRows("b", 40, 50, 2.0f); });  // a strip b never had
  step("a", [&] { Save("a", 1000.0f); });
  step("a", [&] { WriteRows("a", 5, 9, 4.0f); });
  step("b", [&] { Save("b", 2000.0f); });
  step("b", [&] { WriteRows("b", 60, 64, 6.0f); });
  recorder.Finish();
  ASSERT_FALSE(HasFatalFailure());

  // What each layer may hold at a moment: the version of the last step
  // done, or of the step under way.
  auto allowed = [&](const std::string& layer, size_t moment) {
    const size_t done_events = Recorder::EventsBefore(moment);
    size_t done = 0;
    bool under_way = false;
    for (const Step& s : steps) {
      if (s.layer != layer) continue;
      if (s.end_event <= done_events) ++done;
      else if (s.first_event < done_events) under_way = true;
    }
    std::vector<size_t> indexes{done};
    if (under_way) indexes.push_back(done + 1);
    return indexes;
  };

  const std::string replay = dir_.file("replay");
  std::vector<std::string> failures;
  std::mt19937 rng(20261209);
  const Kept kinds[] = {Kept::kNothing, Kept::kEverything, Kept::kSome, Kept::kSome};
  int replays = 0;
  for (size_t moment = 0; moment < recorder.moments(); ++moment) {
    for (Kept kept : kinds) {
      recorder.Replay(moment, kept, &rng, replay);
      ++replays;
      const char* const layers[] = {"a", "b"};
      // Bit 2k: layer k gone; bit 2k+1: torn.
      const int status = InFreshProcess([&]() -> int {
        int found = 0;
        for (int k = 0; k < 2; ++k) {
          const std::string dir = replay + "/" + layers[k];
          if (GridExists(dir.c_str()) != 1) {
            found |= 1 << (2 * k);
            continue;
          }
          const std::vector<float> cells = Cells(dir);
          bool matched = false;
          for (size_t v : allowed(layers[k], moment))
            matched = matched || cells == versions[layers[k]][v];
          if (!matched) found |= 2 << (2 * k);
        }
        return found;
      });
      if (status != 0) {
        const size_t done = Recorder::EventsBefore(moment);
        failures.push_back(
            "state " + std::to_string(status) + " at moment " + std::to_string(moment) +
            " (kept " + std::to_string(static_cast<int>(kept)) + "), after " +
            (done == 0 ? std::string("nothing")
                       : file_ops::Describe(recorder.events()[done - 1])));
      }
    }
  }
  EXPECT_GT(recorder.events().size(), 40u);
  // States: 1 or 4, layer a or b gone; 2 or 8, torn.
  EXPECT_TRUE(failures.empty()) << failures.size() << " of " << replays << " replays, first: "
                                << failures.front();
}

}  // namespace
