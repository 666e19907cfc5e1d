// Whole-layer file operations: deleting a layer, copying one into a new
// GeoTIFF layer, and clearing a workspace of what killed writers left.
#ifndef GRIDIO_LAYER_FILES_H_
#define GRIDIO_LAYER_FILES_H_

#include <string>

namespace gridio {

// Removes the GeoTIFF layer in dir, once a writer updating it has finished
// (waiting as a second writer would): its raster file first (so the layer
// is gone at once), then the side files GDAL reports beside it, then the
// directory when nothing else is left in it (a link to the directory: the
// link). A shadowed older raster left by
// an interrupted commit goes too, so no layer remains. Throws GioError
// (GIO_ERR_NOT_FOUND, GIO_ERR_NOT_DIRECTORY, GIO_ERR_READ_ONLY for an ESRI
// grid, GIO_ERR_OPEN when a writer keeps the layer, GIO_ERR_WRITE when a
// raster cannot be removed).
void DeleteLayer(const std::string& dir);

// Copies the layer in from into a new GeoTIFF layer in to (its plain copy,
// plain_copy.h), visible only once complete and forced to the disk. Throws
// GioError (GIO_ERR_NOT_FOUND, GIO_ERR_NOT_DIRECTORY, GIO_ERR_EXISTS,
// GIO_ERR_OPEN, GIO_ERR_READ when a block of from cannot be read,
// GIO_ERR_CREATE, GIO_ERR_WRITE).
void CopyLayer(const std::string& from, const std::string& to);

// Removes what killed writers left in the workspace dir and in its layer
// directories: partial files (partial_file.h), and journals, played back
// into their rasters or dropped when stale (rollback_journal.h). Never a
// live writer's. Returns how many partial files and journals went.
int CleanWorkspace(const std::string& dir);

}  // namespace gridio

#endif  // GRIDIO_LAYER_FILES_H_
