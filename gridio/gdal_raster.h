// Opening a located layer raster with GDAL and checking that it is a grid
// this library can serve: one band of an integer or float type, a grid of at
// least one cell, and a geotransform without rotation.
#ifndef GRIDIO_GDAL_RASTER_H_
#define GRIDIO_GDAL_RASTER_H_

#include <gdal.h>

#include <memory>
#include <string>

#include "grid_geometry.h"
#include "layer_location.h"

namespace gridio {

struct DatasetCloser {
  void operator()(void* dataset) const;
};
// Owns one open GDAL dataset; closing it flushes its writes.
using Dataset = std::unique_ptr<void, DatasetCloser>;

struct RasterInfo {
  int cell_type = 0;  // GIO_CELLINT or GIO_CELLFLOAT
  LayerGrid grid;
  bool has_nodata = false;
  double nodata = 0.0;
};

// Opens location's raster with only the driver of its kind (GTiff or AIG);
// empty when it does not open.
Dataset OpenRaster(const LayerLocation& location, bool update);

// Opens file as a GeoTIFF for update; empty when it does not open.
Dataset OpenGeoTiffForUpdate(const std::string& file);

// Fills info when dataset is a grid this library serves; false otherwise.
bool InspectRaster(GDALDatasetH dataset, RasterInfo* info);

// The GDAL type of a layer row in the library's cell class of cell_type.
GDALDataType RowType(int cell_type);

// The GeoTIFF driver; throws GioError(GIO_ERR_INTERNAL) when it is missing.
GDALDriverH GeoTiffDriver();

}  // namespace gridio

#endif  // GRIDIO_GDAL_RASTER_H_
