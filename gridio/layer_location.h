// Where a layer's raster lives inside its directory.
#ifndef GRIDIO_LAYER_LOCATION_H_
#define GRIDIO_LAYER_LOCATION_H_

#include <string>

namespace gridio {

// The name of the GeoTIFF this library writes inside a layer directory.
extern const char* const kLayerFileName;

enum class LayerKind { kNone, kGeoTiff, kEsriGrid };

struct LayerLocation {
  LayerKind kind = LayerKind::kNone;
  // kGeoTiff: the .tif file; kEsriGrid: the directory, as GDAL opens it.
  std::string raster;
};

// The raster of the layer directory dir: "layer.tif" when present, else the
// only .tif/.tiff file (case ignored, hidden files skipped), else an ESRI
// grid when the directory holds "hdr.adf". kNone for anything else (no
// directory, no candidate, several candidates). Does not open the raster.
LayerLocation LocateLayer(const std::string& dir);

// LocateLayer, after the hot-journal check of a GeoTIFF raster (see
// rollback_journal.h): what every open of a layer goes through.
LayerLocation LocateRecoveredLayer(const std::string& dir);

// Throws GioError(GIO_ERR_NOT_DIRECTORY) when something other than a
// directory is at dir.
void RejectNonDirectory(const std::string& dir);

// dir as an absolute path without a trailing separator, every symbolic link
// in it that exists resolved.
std::string NormalLayerDirectory(const std::string& dir);

}  // namespace gridio

#endif  // GRIDIO_LAYER_LOCATION_H_
