// The coordinate reference system a new layer takes: the one of the layer
// that set the window, else the one its workspace shares, and always the
// one of a layer it rewrites on the same cells. GDAL reads the CRS back.
#include <cpl_conv.h>
#include <ogr_srs_api.h>

#include "gridio_fixture.h"

namespace {

using namespace gridio_test;

constexpr int kUtm33 = 32633;
constexpr int kLonLat = 4326;

// The CRS of raster file as GDAL reads it; empty when none.
std::string CrsOf(const std::string& file) {
  GDALDatasetH ds = GDALOpen(file.c_str(), GA_ReadOnly);
  EXPECT_NE(ds, nullptr) << file;
  if (ds == nullptr) return std::string();
  const std::string wkt = GDALGetProjectionRef(ds);
  GDALClose(ds);
  return wkt;
}

bool IsEpsg(const std::string& wkt, int epsg) {
  OGRSpatialReferenceH expected = OSRNewSpatialReference(nullptr);
  OGRSpatialReferenceH actual = OSRNewSpatialReference(wkt.c_str());
  const bool same = OSRImportFromEPSG(expected, epsg) == OGRERR_NONE && actual != nullptr &&
                    OSRIsSame(expected, actual) != 0;
  OSRDestroySpatialReference(expected);
  if (actual != nullptr) OSRDestroySpatialReference(actual);
  return same;
}

class LayerCrsTest : public GridioTest {
 protected:
  // A 4 x 5 float layer name with lower-left (x, y) and 30 m cells, written
  // by GDAL with the CRS of epsg (0: none).
  void Source(const std::string& name, double x, double y, int epsg) {
    fs::create_directories(Path(name));
    const double gt[6] = {x, 30, 0, y + 4 * 30, 0, -30};
    const std::string file = Raster(name);
    WriteGeoTiff(file, GDT_Float32, 5, 4, gt, true, -1, std::vector<double>(20, 7.0));
    if (epsg == 0) return;
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    ASSERT_EQ(OSRImportFromEPSG(srs, epsg), OGRERR_NONE);
    GDALDatasetH ds = GDALOpen(file.c_str(), GA_Update);
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(GDALSetSpatialRef(ds, srs), CE_None);
    GDALClose(ds);
    OSRDestroySpatialReference(srs);
  }
  std::string Raster(const std::string& name) const { return Path(name) + "/layer.tif"; }

  // What the window set-up does with a grid: describe it, then set the
  // window on its cells.
  void WindowFrom(const std::string& name) {
    double size, box[4], stats[4];
    int32_t rows_cols[2], type, classes, record;
    ASSERT_EQ(DescribeGridDbl(Path(name).c_str(), &size, rows_cols, box, stats, &type, &classes,
                              &record),
              GIO_OK);
    SetWindow(box[0], box[1], box[2], box[3], size);
  }

  // Creates layer name on the window as the memory grids do (with the box
  // they asked for), writes its first row, and returns its CRS as GDAL reads
  // it.
  std::string Created(const std::string& name) {
    const int handle = CellLayerCreate(Path(name).c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT,
                                       window_size_, window_box_);
    EXPECT_GE(handle, 0) << name;
    std::vector<float> row(WindowCols(), 1.5f);
    EXPECT_EQ(PutWindowRow(handle, 0, row.data()), GIO_OK);
    EXPECT_EQ(CellLyrClose(handle), GIO_OK);
    return CrsOf(Raster(name));
  }

  void SetWindow(double x_min, double y_min, double x_max, double y_max, double size) {
    GridioTest::SetWindow(x_min, y_min, x_max, y_max, size);
    window_box_[0] = x_min;
    window_box_[1] = y_min;
    window_box_[2] = x_max;
    window_box_[3] = y_max;
    window_size_ = size;
  }

  double window_box_[4] = {0, 0, 1, 1};
  double window_size_ = 1;
};

TEST_F(LayerCrsTest, AWindowSetFromAGridGivesNewLayersThatGridsCrs) {
  for (int epsg : {kUtm33, kLonLat}) {
    SCOPED_TRACE(epsg);
    const std::string source = "src" + std::to_string(epsg);
    // Coordinates that make sense in both: the CRS is not guessed from them.
    Source(source, 40, 10, epsg);
    // Another CRS in the workspace must not matter.
    Source("other" + std::to_string(epsg), 0, 0, epsg == kUtm33 ? kLonLat : kUtm33);
    WindowFrom(source);
    const std::string created = Created("new" + std::to_string(epsg));
    EXPECT_EQ(created, CrsOf(Raster(source)));
    EXPECT_TRUE(IsEpsg(created, epsg)) << created;
  }
}

TEST_F(LayerCrsTest, AWindowFromNumbersTakesTheCrsTheWorkspaceShares) {
  Source("a", 0, 0, kUtm33);
  Source("b", 600, 600, kUtm33);
  SetWindow(10, 10, 70, 70, 15);
  EXPECT_TRUE(IsEpsg(Created("new"), kUtm33));
  // The described grid counts only when the window lies on its cells.
  WindowFrom("a");
  Source("c", 0, 0, kLonLat);
  SetWindow(10, 10, 70, 70, 15);
  EXPECT_EQ(Created("mixed"), "") << "two CRSs in the workspace give none";
}

TEST_F(LayerCrsTest, AWorkspaceWithALayerWithoutCrsOrWithNoLayersGivesNone) {
  SetWindow(10, 10, 70, 70, 15);
  EXPECT_EQ(Created("first"), "");
  Source("a", 0, 0, kUtm33);
  EXPECT_EQ(Created("second"), "") << "the first layer has none";
}

TEST_F(LayerCrsTest, WritingIntoAnExistingLayerKeepsItsCrs) {
  Source("lonlat", 0, 0, kLonLat);
  Source("utm", 0, 0, kUtm33);
  WindowFrom("lonlat");
  // In place.
  int32_t type;
  double size;
  int handle = CellLayerOpen(Path("utm").c_str(), GIO_READWRITE, 1, &type, &size);
  ASSERT_GE(handle, 0);
  std::vector<float> row(5, 3.0f);
  ASSERT_EQ(PutWindowRow(handle, 1, row.data()), GIO_OK);
  ASSERT_EQ(CellLyrClose(handle), GIO_OK);
  EXPECT_TRUE(IsEpsg(CrsOf(Raster("utm")), kUtm33));
  // Whole, as the memory grids write a layer again: deleted, then created.
  ASSERT_EQ(CellLyrDelete(Path("utm").c_str()), GIO_OK);
  EXPECT_TRUE(IsEpsg(Created("utm"), kUtm33));
  // A layer deleted earlier, whatever came between, is a new layer.
  ASSERT_EQ(CellLyrDelete(Path("utm").c_str()), GIO_OK);
  EXPECT_EQ(GridExists(Path("utm").c_str()), 0);
  EXPECT_TRUE(IsEpsg(Created("utm"), kLonLat));
}

TEST_F(LayerCrsTest, ARewriteOnOtherCellsTakesTheWindowsCrs) {
  Source("lonlat", 0, 0, kLonLat);
  Source("utm", 300, 300, kUtm33);
  WindowFrom("lonlat");
  ASSERT_EQ(CellLyrDelete(Path("utm").c_str()), GIO_OK);
  EXPECT_TRUE(IsEpsg(Created("utm"), kLonLat));
}

// The WKT GDAL makes of an EPSG code.
std::string WktOf(int epsg) {
  OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
  char* text = nullptr;
  std::string wkt;
  if (OSRImportFromEPSG(srs, epsg) == OGRERR_NONE && OSRExportToWkt(srs, &text) == OGRERR_NONE)
    wkt = text;
  CPLFree(text);
  OSRDestroySpatialReference(srs);
  return wkt;
}

TEST_F(LayerCrsTest, ACrsTheHostNamesForTheWindowGoesBeforeTheWorkspacesAndTheDescribedGrids) {
  Source("a", 0, 0, kUtm33);
  Source("b", 600, 600, kUtm33);
  WindowFrom("a");
  ASSERT_EQ(AccessWindowCrsSet(WktOf(kLonLat).c_str()), GIO_OK);
  EXPECT_TRUE(IsEpsg(Created("named"), kLonLat));
  // What GDAL takes as user input serves as well.
  ASSERT_EQ(AccessWindowCrsSet("EPSG:4326"), GIO_OK);
  EXPECT_TRUE(IsEpsg(Created("by_code"), kLonLat));
  // None named: the rules of old again, here the described grid's.
  ASSERT_EQ(AccessWindowCrsSet(""), GIO_OK);
  EXPECT_TRUE(IsEpsg(Created("unnamed"), kUtm33));
  ASSERT_EQ(AccessWindowCrsSet("EPSG:4326"), GIO_OK);
  ASSERT_EQ(AccessWindowCrsSet(nullptr), GIO_OK);
  EXPECT_TRUE(IsEpsg(Created("null"), kUtm33));
}

TEST_F(LayerCrsTest, TheNextWindowForgetsTheNamedCrs) {
  Source("a", 0, 0, kUtm33);
  SetWindow(10, 10, 70, 70, 15);
  ASSERT_EQ(AccessWindowCrsSet("EPSG:4326"), GIO_OK);
  SetWindow(10, 10, 70, 70, 15);
  EXPECT_TRUE(IsEpsg(Created("after"), kUtm33)) << "the workspace's, not the named one";
}

TEST_F(LayerCrsTest, ALayerRewrittenOnItsCellsKeepsItsCrsWhateverTheHostNamed) {
  Source("utm", 0, 0, kUtm33);
  WindowFrom("utm");
  ASSERT_EQ(AccessWindowCrsSet("EPSG:4326"), GIO_OK);
  ASSERT_EQ(CellLyrDelete(Path("utm").c_str()), GIO_OK);
  EXPECT_TRUE(IsEpsg(Created("utm"), kUtm33));
}

TEST_F(LayerCrsTest, AnUnreadableCrsOrNoWindowIsRefusedAndKeepsTheNamedOne) {
  EXPECT_EQ(AccessWindowCrsSet("EPSG:4326"), GIO_ERR_NO_WINDOW);
  SetWindow(10, 10, 70, 70, 15);
  ASSERT_EQ(AccessWindowCrsSet("EPSG:4326"), GIO_OK);
  EXPECT_EQ(AccessWindowCrsSet("no such reference system"), GIO_ERR_ARGUMENT);
  EXPECT_TRUE(IsEpsg(Created("kept"), kLonLat));
}

}  // namespace
