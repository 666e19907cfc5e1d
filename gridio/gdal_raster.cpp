#include "gdal_raster.h"

#include <cmath>

#include "avgridio.h"
#include "gio_error.h"

namespace gridio {

void DatasetCloser::operator()(void* dataset) const {
  if (dataset != nullptr) GDALClose(static_cast<GDALDatasetH>(dataset));
}

namespace {

int CellTypeOf(GDALDataType type) {
  switch (type) {
    case GDT_Byte:
    case GDT_UInt16:
    case GDT_Int16:
    case GDT_UInt32:
    case GDT_Int32:
    case GDT_UInt64:
    case GDT_Int64:
      return GIO_CELLINT;
    case GDT_Float32:
    case GDT_Float64:
      return GIO_CELLFLOAT;
    default:
      return 0;
  }
}

Dataset OpenWith(const std::string& path, const char* driver, bool update) {
  const char* const drivers[] = {driver, nullptr};
  const unsigned flags = GDAL_OF_RASTER | (update ? GDAL_OF_UPDATE : GDAL_OF_READONLY);
  return Dataset(GDALOpenEx(path.c_str(), flags, drivers, nullptr, nullptr));
}

}  // namespace

Dataset OpenRaster(const LayerLocation& location, bool update) {
  switch (location.kind) {
    case LayerKind::kGeoTiff:
      return OpenWith(location.raster, "GTiff", update);
    case LayerKind::kEsriGrid:
      return OpenWith(location.raster, "AIG", update);
    case LayerKind::kNone:
      break;
  }
  return Dataset();
}

Dataset OpenGeoTiffForUpdate(const std::string& file) { return OpenWith(file, "GTiff", true); }

bool InspectRaster(GDALDatasetH dataset, RasterInfo* info) {
  if (dataset == nullptr || GDALGetRasterCount(dataset) != 1) return false;
  GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
  if (band == nullptr) return false;
  const int cell_type = CellTypeOf(GDALGetRasterDataType(band));
  if (cell_type == 0) return false;
  const int cols = GDALGetRasterXSize(dataset);
  const int rows = GDALGetRasterYSize(dataset);
  if (cols <= 0 || rows <= 0) return false;
  double gt[6] = {0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
  // A raster without georeferencing keeps GDAL's pixel grid, rows downward.
  GDALGetGeoTransform(dataset, gt);
  for (double v : gt)
    if (!std::isfinite(v)) return false;
  if (gt[2] != 0.0 || gt[4] != 0.0 || gt[1] == 0.0 || gt[5] == 0.0) return false;
  info->cell_type = cell_type;
  info->grid.x_origin = gt[0];
  info->grid.x_step = gt[1];
  info->grid.y_origin = gt[3];
  info->grid.y_step = gt[5];
  info->grid.rows = rows;
  info->grid.cols = cols;
  int has_nodata = 0;
  const double nodata = GDALGetRasterNoDataValue(band, &has_nodata);
  info->has_nodata = has_nodata != 0;
  info->nodata = info->has_nodata ? nodata : 0.0;
  return true;
}

GDALDataType RowType(int cell_type) { return cell_type == GIO_CELLINT ? GDT_Int32 : GDT_Float32; }

GDALDriverH GeoTiffDriver() {
  GDALDriverH driver = GDALGetDriverByName("GTiff");
  if (driver == nullptr) Fail(GIO_ERR_INTERNAL);
  return driver;
}

}  // namespace gridio
