// Whole-layer file operations: deleting a layer and copying one into a new
// GeoTIFF layer.
#ifndef GRIDIO_LAYER_FILES_H_
#define GRIDIO_LAYER_FILES_H_

#include <string>

namespace gridio {

// Removes the GeoTIFF layer in dir: its raster file first (so the layer is
// gone at once), then the side files GDAL reports beside it, then the
// directory when nothing else is left in it. A shadowed older raster left by
// an interrupted commit goes too, so no layer remains. Throws GioError
// (GIO_ERR_NOT_FOUND, GIO_ERR_NOT_DIRECTORY, GIO_ERR_READ_ONLY for an ESRI
// grid, GIO_ERR_WRITE when a raster cannot be removed).
void DeleteLayer(const std::string& dir);

// Copies the layer in from into a new GeoTIFF layer in to (values, grid,
// storage type and nodata kept), visible only once complete. Throws GioError
// (GIO_ERR_NOT_FOUND, GIO_ERR_NOT_DIRECTORY, GIO_ERR_EXISTS, GIO_ERR_OPEN,
// GIO_ERR_CREATE, GIO_ERR_WRITE).
void CopyLayer(const std::string& from, const std::string& to);

}  // namespace gridio

#endif  // GRIDIO_LAYER_FILES_H_
