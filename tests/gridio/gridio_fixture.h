// Verbs for the grid I/O library's tests: a set-up library and a scratch
// directory per test, layers written and read through the library, and GDAL
// used directly as the oracle that writes input rasters and reads back what
// the library wrote.
#ifndef MIRL_TESTS_GRIDIO_GRIDIO_FIXTURE_H_
#define MIRL_TESTS_GRIDIO_GRIDIO_FIXTURE_H_

#include <gdal.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/filesystem.hpp>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <type_traits>
#include <vector>

#include "avgridio.h"
#include "support/temp_dir.h"

namespace gridio_test {

namespace fs = boost::filesystem;

// A raster as GDAL itself sees it.
struct Raster {
  int cols = 0;
  int rows = 0;
  double gt[6] = {0, 0, 0, 0, 0, 0};
  GDALDataType type = GDT_Unknown;
  bool has_nodata = false;
  double nodata = 0.0;
  std::vector<double> values;  // row 0 first, as stored
};

// Writes a single-band GeoTIFF with GDAL; nodata is set when has_nodata.
inline void WriteGeoTiff(const std::string& file, GDALDataType type, int cols, int rows,
                         const double gt[6], bool has_nodata, double nodata,
                         const std::vector<double>& values, int bands = 1) {
  GDALDriverH driver = GDALGetDriverByName("GTiff");
  ASSERT_NE(driver, nullptr);
  GDALDatasetH ds = GDALCreate(driver, file.c_str(), cols, rows, bands, type, nullptr);
  ASSERT_NE(ds, nullptr);
  GDALSetGeoTransform(ds, const_cast<double*>(gt));
  for (int b = 1; b <= bands; ++b) {
    GDALRasterBandH band = GDALGetRasterBand(ds, b);
    if (has_nodata) GDALSetRasterNoDataValue(band, nodata);
    std::vector<double> copy(values);
    ASSERT_EQ(
        GDALRasterIO(band, GF_Write, 0, 0, cols, rows, copy.data(), cols, rows, GDT_Float64, 0, 0),
        CE_None);
  }
  GDALClose(ds);
}

inline Raster ReadGeoTiff(const std::string& file) {
  Raster raster;
  GDALDatasetH ds = GDALOpen(file.c_str(), GA_ReadOnly);
  EXPECT_NE(ds, nullptr) << file;
  if (ds == nullptr) return raster;
  raster.cols = GDALGetRasterXSize(ds);
  raster.rows = GDALGetRasterYSize(ds);
  GDALGetGeoTransform(ds, raster.gt);
  GDALRasterBandH band = GDALGetRasterBand(ds, 1);
  raster.type = GDALGetRasterDataType(band);
  int has = 0;
  raster.nodata = GDALGetRasterNoDataValue(band, &has);
  raster.has_nodata = has != 0;
  raster.values.resize(static_cast<size_t>(raster.cols) * raster.rows);
  EXPECT_EQ(GDALRasterIO(band, GF_Read, 0, 0, raster.cols, raster.rows, raster.values.data(),
                         raster.cols, raster.rows, GDT_Float64, 0, 0),
            CE_None);
  GDALClose(ds);
  return raster;
}

// Every byte of file; empty when there is none.
inline std::string FileBytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Makes file hold exactly bytes.
inline void PutFileBytes(const std::string& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Names of every entry below dir, relative to it, sorted.
inline std::vector<std::string> Listing(const fs::path& dir) {
  std::vector<std::string> names;
  if (!fs::exists(dir)) return names;
  for (fs::recursive_directory_iterator it(dir), end; it != end; ++it)
    names.push_back(fs::relative(it->path(), dir).string());
  std::sort(names.begin(), names.end());
  return names;
}

class GridioTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(GridIOSetup(), 1); }
  void TearDown() override { GridIOExit(); }

  std::string Path(const std::string& name) const { return dir_.file(name); }

  void SetWindow(double x_min, double y_min, double x_max, double y_max, double cell_size) {
    const double box[4] = {x_min, y_min, x_max, y_max};
    double set[4];
    ASSERT_EQ(AccessWindowSet(box, cell_size, set), GIO_OK);
  }

  // Creates layer name of rows x cols cells of cell_size with lower-left
  // (x_ll, y_ll), writing values (row 0 = north) through a window equal to
  // the layer, and closes it.
  template <typename T>
  void WriteLayer(const std::string& name, int rows, int cols, double x_ll, double y_ll,
                  double cell_size, const std::vector<T>& values) {
    const int type = std::is_same<T, int32_t>::value ? GIO_CELLINT : GIO_CELLFLOAT;
    const double box[4] = {x_ll, y_ll, x_ll + cols * cell_size, y_ll + rows * cell_size};
    SetWindow(box[0], box[1], box[2], box[3], cell_size);
    const int handle = CellLayerCreate(Path(name).c_str(), GIO_READWRITE, 1, type, cell_size, box);
    ASSERT_GE(handle, 0);
    for (int r = 0; r < rows; ++r)
      ASSERT_EQ(PutWindowRow(handle, r, values.data() + static_cast<size_t>(r) * cols), GIO_OK);
    ASSERT_EQ(CellLyrClose(handle), GIO_OK);
  }

  // Every row of the current window of layer name.
  template <typename T>
  std::vector<T> ReadWindow(const std::string& name) {
    int32_t type = 0;
    double size = 0;
    const int handle = CellLayerOpen(Path(name).c_str(), GIO_READ, 1, &type, &size);
    EXPECT_GE(handle, 0) << name;
    std::vector<T> cells(static_cast<size_t>(WindowRows()) * WindowCols());
    for (int r = 0; r < WindowRows(); ++r) {
      T* row = cells.data() + static_cast<size_t>(r) * WindowCols();
      int result;
      if constexpr (std::is_same<T, int32_t>::value)
        result = GetWindowRowInt(handle, r, row);
      else
        result = GetWindowRowFloat(handle, r, row);
      EXPECT_EQ(result, GIO_OK) << "row " << r;
    }
    EXPECT_EQ(CellLyrClose(handle), GIO_OK);
    return cells;
  }

  mirl_test::TempDir dir_;
};

}  // namespace gridio_test

#endif  // MIRL_TESTS_GRIDIO_GRIDIO_FIXTURE_H_
