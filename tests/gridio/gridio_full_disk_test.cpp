// Writes that meet a full disk fail with their code and leave the layer as
// it was: a whole layer written again, and an update in place whose journal
// cannot be written.
#include "gridio_fixture.h"
#include "support/small_disk.h"

namespace {

using namespace gridio_test;

constexpr int kSize = 100;

class GridioFullDiskTest : public GridioTest {
 protected:
  void SetUp() override {
    GridioTest::SetUp();
    fs::create_directories(Disk());
  }
  std::string Disk() const { return dir_.file("disk"); }
  std::string Layer() const { return Disk() + "/g"; }

  // On a 1 MiB disk: a layer of 1.0, the disk filled to `leave` bytes,
  // then write(); 0 when the layer still reads as before and no file of
  // the write is left, else a code saying what went wrong.
  template <typename Write>
  void ExpectKept(unsigned long leave, Write write) {
    const int status = mirl_test::OnSmallDisk(Disk(), 1 << 20, [&]() -> int {
      SetWindow(0, 0, kSize, kSize, 1);
      const double box[4] = {0, 0, kSize, kSize};
      const int h = CellLayerCreate(Layer().c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box);
      std::vector<float> row(kSize, 1.0f);
      for (int r = 0; r < kSize; ++r) PutWindowRow(h, r, row.data());
      if (h < 0 || CellLyrClose(h) != GIO_OK) return 10;
      if (!mirl_test::FillDisk(Disk(), leave)) return 11;
      if (write() == GIO_OK) return 12;
      if (GridExists(Layer().c_str()) != 1) return 13;
      if (ReadWindow<float>(Layer().substr(dir_.str().size() + 1)) !=
          std::vector<float>(kSize * kSize, 1.0f))
        return 14;
      if (Listing(Disk()) != std::vector<std::string>{"ballast", "g", "g/layer.tif"}) return 15;
      return 0;
    });
    if (status == mirl_test::kNoSmallDisk) GTEST_SKIP() << "no tmpfs can be mounted here";
    EXPECT_EQ(status, 0);
  }
};

TEST_F(GridioFullDiskTest, ALayerWrittenAgainOnAFullDiskFailsAndKeepsTheOldOne) {
  ExpectKept(8 << 10, [&] {
    const double box[4] = {0, 0, kSize, kSize};
    const int h = CellLayerCreate(Layer().c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, box);
    if (h < 0) return h;
    std::vector<float> row(kSize, 2.0f);
    for (int r = 0; r < kSize; ++r) PutWindowRow(h, r, row.data());
    return CellLyrClose(h);
  });
}

TEST_F(GridioFullDiskTest, AnUpdateInPlaceOnAFullDiskFailsAndKeepsTheOldLayer) {
  ExpectKept(0, [&] {
    int32_t type;
    double size;
    const int h = CellLayerOpen(Layer().c_str(), GIO_READWRITE, 1, &type, &size);
    if (h < 0) return h;
    std::vector<float> row(kSize, 3.0f);
    for (int r = 0; r < kSize; ++r) PutWindowRow(h, r, row.data());
    return CellLyrClose(h);
  });
}

}  // namespace
