#include <fstream>

#include "gridio_fixture.h"

namespace {

using namespace gridio_test;

class GridioBadInputTest : public GridioTest {
 protected:
  void SetUp() override {
    GridioTest::SetUp();
    WriteLayer("g", 2, 2, 0, 0, 1, std::vector<float>{1, 2, 3, 4});
  }
  int OpenG(int mode = GIO_READ) {
    int32_t type;
    double size;
    return CellLayerOpen(Path("g").c_str(), mode, 1, &type, &size);
  }
};

TEST(GridioNotSetUpTest, EveryCallBeforeSetUpFails) {
  mirl_test::TempDir dir;
  int32_t type;
  double size = 0, box[4] = {0, 0, 1, 1}, stats[4];
  int32_t rc[2], a, b, c;
  float row[1];
  EXPECT_EQ(GridExists(dir.str().c_str()), 0);
  EXPECT_EQ(CellLayerOpen(dir.str().c_str(), 1, 1, &type, &size), GIO_ERR_NOT_SETUP);
  EXPECT_EQ(CellLayerCreate(dir.file("g").c_str(), 2, 1, 1, 1.0, box), GIO_ERR_NOT_SETUP);
  EXPECT_EQ(AccessWindowSet(box, 1.0, box), GIO_ERR_NOT_SETUP);
  EXPECT_EQ(WindowRows(), 0);
  EXPECT_EQ(GetWindowRowFloat(0, 0, row), GIO_ERR_NOT_SETUP);
  EXPECT_EQ(DescribeGridDbl(dir.str().c_str(), &size, rc, box, stats, &a, &b, &c),
            GIO_ERR_NOT_SETUP);
  EXPECT_EQ(GridCopy(dir.str().c_str(), dir.file("x").c_str()), GIO_ERR_NOT_SETUP);
  EXPECT_EQ(CellLyrDelete(dir.str().c_str()), GIO_ERR_NOT_SETUP);
  EXPECT_TRUE(dir.entries().empty());
}

TEST_F(GridioBadInputTest, NullPointersAreRefused) {
  int32_t type;
  double size, box[4] = {0, 0, 1, 1}, stats[4];
  int32_t rc[2], a, b, c;
  const std::string g_path = Path("g");
  const char* g = g_path.c_str();
  EXPECT_EQ(GridExists(nullptr), 0);
  EXPECT_EQ(CellLayerOpen(nullptr, 1, 1, &type, &size), GIO_ERR_ARGUMENT);
  EXPECT_EQ(CellLayerOpen(g, 1, 1, nullptr, &size), GIO_ERR_ARGUMENT);
  EXPECT_EQ(CellLayerOpen(g, 1, 1, &type, nullptr), GIO_ERR_ARGUMENT);
  EXPECT_EQ(CellLayerCreate(nullptr, 2, 1, 1, 1.0, box), GIO_ERR_ARGUMENT);
  EXPECT_EQ(CellLayerCreate(Path("n").c_str(), 2, 1, 1, 1.0, nullptr), GIO_ERR_ARGUMENT);
  EXPECT_EQ(CellLyrDelete(nullptr), GIO_ERR_ARGUMENT);
  EXPECT_EQ(GridCopy(nullptr, g), GIO_ERR_ARGUMENT);
  EXPECT_EQ(GridCopy(g, nullptr), GIO_ERR_ARGUMENT);
  EXPECT_EQ(AccessWindowSet(nullptr, 1.0, box), GIO_ERR_ARGUMENT);
  EXPECT_EQ(AccessWindowSet(box, 1.0, nullptr), GIO_ERR_ARGUMENT);
  EXPECT_EQ(GetMissingFloat(nullptr), GIO_ERR_ARGUMENT);
  EXPECT_EQ(DescribeGridDbl(nullptr, &size, rc, box, stats, &a, &b, &c), GIO_ERR_ARGUMENT);
  EXPECT_EQ(DescribeGridDbl(g, &size, nullptr, box, stats, &a, &b, &c), GIO_ERR_ARGUMENT);
  EXPECT_EQ(DescribeGridDbl(g, &size, rc, box, stats, &a, &b, nullptr), GIO_ERR_ARGUMENT);
  SetWindow(0, 0, 2, 2, 1);
  const int h = OpenG();
  EXPECT_EQ(GetWindowRowFloat(h, 0, nullptr), GIO_ERR_ARGUMENT);
  EXPECT_EQ(GetWindowRowInt(h, 0, nullptr), GIO_ERR_ARGUMENT);
  EXPECT_EQ(PutWindowRow(h, 0, nullptr), GIO_ERR_ARGUMENT);
  EXPECT_EQ(CellLyrClose(h), GIO_OK);
  EXPECT_FALSE(fs::exists(Path("n")));
}

TEST_F(GridioBadInputTest, UnknownAndClosedHandlesAreRefused) {
  SetWindow(0, 0, 2, 2, 1);
  float row[2];
  EXPECT_EQ(GetWindowRowFloat(-1, 0, row), GIO_ERR_HANDLE);
  EXPECT_EQ(GetWindowRowFloat(12345, 0, row), GIO_ERR_HANDLE);
  EXPECT_EQ(CellLyrClose(-7), GIO_ERR_HANDLE);
  const int h = OpenG();
  ASSERT_GE(h, 0);
  EXPECT_EQ(CellLyrClose(h), GIO_OK);
  EXPECT_EQ(GetWindowRowFloat(h, 0, row), GIO_ERR_HANDLE);
  EXPECT_EQ(PutWindowRow(h, 0, row), GIO_ERR_HANDLE);
  EXPECT_EQ(CellLyrClose(h), GIO_ERR_HANDLE);
  // A later layer gets a new handle, so the closed one stays invalid.
  const int next = OpenG();
  EXPECT_NE(next, h);
  EXPECT_EQ(GetWindowRowFloat(h, 0, row), GIO_ERR_HANDLE);
  EXPECT_EQ(CellLyrClose(next), GIO_OK);
}

TEST_F(GridioBadInputTest, RowsOutsideTheWindowAreRefused) {
  SetWindow(0, 0, 2, 2, 1);
  const int h = OpenG(GIO_READWRITE);
  float row[2] = {0, 0};
  EXPECT_EQ(GetWindowRowFloat(h, -1, row), GIO_ERR_ROW);
  EXPECT_EQ(GetWindowRowFloat(h, 2, row), GIO_ERR_ROW);
  EXPECT_EQ(PutWindowRow(h, 2, row), GIO_ERR_ROW);
  EXPECT_EQ(PutWindowRow(h, -2147483647 - 1, row), GIO_ERR_ROW);
  EXPECT_EQ(GetWindowRowFloat(h, 1, row), GIO_OK);
  EXPECT_EQ(CellLyrClose(h), GIO_OK);
}

TEST_F(GridioBadInputTest, WritingThroughAReadHandleIsRefused) {
  SetWindow(0, 0, 2, 2, 1);
  const int h = OpenG();
  const float row[2] = {9, 9};
  EXPECT_EQ(PutWindowRow(h, 0, row), GIO_ERR_READ_ONLY);
  EXPECT_EQ(CellLyrClose(h), GIO_OK);
  EXPECT_EQ(ReadWindow<float>("g"), (std::vector<float>{1, 2, 3, 4}));
}

TEST_F(GridioBadInputTest, PathsThatAreNotLayerDirectories) {
  std::ofstream(Path("file")) << "plain";
  int32_t type;
  double size, box[4] = {0, 0, 1, 1};
  EXPECT_EQ(GridExists(Path("file").c_str()), 0);
  EXPECT_EQ(CellLayerOpen(Path("file").c_str(), 1, 1, &type, &size), GIO_ERR_NOT_DIRECTORY);
  EXPECT_EQ(CellLayerCreate(Path("file").c_str(), 2, 1, 1, 1.0, box), GIO_ERR_NOT_DIRECTORY);
  EXPECT_EQ(CellLyrDelete(Path("file").c_str()), GIO_ERR_NOT_DIRECTORY);
  EXPECT_EQ(GridCopy(Path("g").c_str(), Path("file").c_str()), GIO_ERR_NOT_DIRECTORY);
  EXPECT_EQ(GridExists(Path("missing").c_str()), 0);
  EXPECT_EQ(CellLayerOpen(Path("missing").c_str(), 1, 1, &type, &size), GIO_ERR_NOT_FOUND);
  EXPECT_EQ(GridExists(""), 0);
  EXPECT_EQ(CellLayerOpen("", 1, 1, &type, &size), GIO_ERR_ARGUMENT);
  fs::create_directory(Path("empty"));
  EXPECT_EQ(GridExists(Path("empty").c_str()), 0);
  // A layer cannot be created where its parent directory is missing.
  EXPECT_EQ(CellLayerCreate(Path("no/such/g").c_str(), 2, 1, 1, 1.0, box), GIO_ERR_CREATE);
  EXPECT_FALSE(fs::exists(Path("no")));
}

TEST_F(GridioBadInputTest, GarbageInPlaceOfAGeoTiffIsNotALayer) {
  fs::create_directory(Path("bad"));
  std::ofstream(Path("bad/layer.tif")) << "II*\0 this is not a tiff at all";
  int32_t type;
  double size, box[4], stats[4];
  int32_t rc[2], a, b, c;
  EXPECT_EQ(GridExists(Path("bad").c_str()), 0);
  EXPECT_EQ(CellLayerOpen(Path("bad").c_str(), 1, 1, &type, &size), GIO_ERR_OPEN);
  EXPECT_EQ(CellLayerOpen(Path("bad").c_str(), 2, 1, &type, &size), GIO_ERR_OPEN);
  EXPECT_EQ(DescribeGridDbl(Path("bad").c_str(), &size, rc, box, stats, &a, &b, &c), GIO_ERR_OPEN);
  EXPECT_EQ(GridCopy(Path("bad").c_str(), Path("copy").c_str()), GIO_ERR_OPEN);
  EXPECT_EQ(Listing(Path("bad")), std::vector<std::string>{"layer.tif"});
  EXPECT_FALSE(fs::exists(Path("copy")));
}

TEST_F(GridioBadInputTest, TruncatedGeoTiffFailsToReadWithoutCrashing) {
  std::vector<float> values(64 * 64);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>(i);
  WriteLayer("t", 64, 64, 0, 0, 1, values);
  const fs::path file = Path("t/layer.tif");
  fs::resize_file(file, fs::file_size(file) / 2);
  int32_t type;
  double size, box[4], stats[4];
  int32_t rc[2], a, b, c;
  const int h = CellLayerOpen(Path("t").c_str(), 1, 1, &type, &size);
  if (h >= 0) {
    std::vector<float> row(64);
    int failures = 0;
    for (int r = 0; r < 64; ++r) failures += GetWindowRowFloat(h, r, row.data()) == GIO_ERR_READ;
    EXPECT_GT(failures, 0);
    EXPECT_EQ(CellLyrClose(h), GIO_OK);
  }
  EXPECT_LT(DescribeGridDbl(Path("t").c_str(), &size, rc, box, stats, &a, &b, &c), 0);
}

TEST_F(GridioBadInputTest, DirectoriesThatHoldNoSingleGridAreNotLayers) {
  const double gt[6] = {0, 1, 0, 1, 0, -1};
  fs::create_directory(Path("two"));
  WriteGeoTiff(Path("two/a.tif"), GDT_Byte, 1, 1, gt, false, 0, {1});
  WriteGeoTiff(Path("two/b.tif"), GDT_Byte, 1, 1, gt, false, 0, {2});
  EXPECT_EQ(GridExists(Path("two").c_str()), 0);
  fs::create_directory(Path("rgb"));
  WriteGeoTiff(Path("rgb/rgb.tif"), GDT_Byte, 1, 1, gt, false, 0, {1}, 3);
  EXPECT_EQ(GridExists(Path("rgb").c_str()), 0);
  int32_t type;
  double size;
  EXPECT_EQ(CellLayerOpen(Path("rgb").c_str(), 1, 1, &type, &size), GIO_ERR_OPEN);
  fs::create_directory(Path("cplx"));
  WriteGeoTiff(Path("cplx/c.tif"), GDT_CFloat32, 1, 1, gt, false, 0, {1});
  EXPECT_EQ(GridExists(Path("cplx").c_str()), 0);
}

TEST_F(GridioBadInputTest, BadModesTypesSizesAndBoxesAreRefused) {
  const double box[4] = {0, 0, 2, 2};
  const double inverted[4] = {2, 0, 0, 2};
  const double huge[4] = {0, 0, 1e12, 1};
  const std::string n_path = Path("n");
  const char* n = n_path.c_str();
  EXPECT_EQ(CellLayerCreate(n, 1, 1, 1, 1.0, box), GIO_ERR_ARGUMENT);
  EXPECT_EQ(CellLayerCreate(n, 2, 1, 3, 1.0, box), GIO_ERR_ARGUMENT);
  EXPECT_EQ(CellLayerCreate(n, 2, 1, 0, 1.0, box), GIO_ERR_ARGUMENT);
  EXPECT_EQ(CellLayerCreate(n, 2, 1, 1, 0.0, box), GIO_ERR_ARGUMENT);
  EXPECT_EQ(CellLayerCreate(n, 2, 1, 1, NAN, box), GIO_ERR_ARGUMENT);
  EXPECT_EQ(CellLayerCreate(n, 2, 1, 1, 1.0, inverted), GIO_ERR_ARGUMENT);
  EXPECT_EQ(CellLayerCreate(n, 2, 1, 1, 1.0, huge), GIO_ERR_ARGUMENT);
  double set[4];
  EXPECT_EQ(AccessWindowSet(huge, 1.0, set), GIO_ERR_ARGUMENT);
  int32_t type;
  double size;
  EXPECT_EQ(CellLayerOpen(Path("g").c_str(), 0, 1, &type, &size), GIO_ERR_ARGUMENT);
  EXPECT_EQ(CellLayerOpen(Path("g").c_str(), 3, 1, &type, &size), GIO_ERR_ARGUMENT);
  EXPECT_FALSE(fs::exists(Path("n")));
}

}  // namespace
