// Rewriting a raster as one this library writes: an uncompressed GeoTIFF of
// the same cells, grid, data type, nodata, CRS and metadata, sparse (blocks
// wholly nodata stay out of the file), tiled 256 x 256 when wide. The cells
// are read block row by block row through GDAL, exactly as a reader of the
// layer gets them, so the copy changes no cell a reader could see; a block
// GDAL cannot read fails the copy rather than becoming nodata in it.
#ifndef GRIDIO_PLAIN_COPY_H_
#define GRIDIO_PLAIN_COPY_H_

#include <gdal.h>

#include <string>

namespace gridio {

// The GeoTIFF creation options of every raster this library writes: blocks
// never written stay out of the file (and read as nodata); files beyond
// 4 GB switch to BigTIFF; no compression, so that cells can later change in
// place; layers at least kTiledFromCols wide are tiled, so that a block
// written into a new layer takes the tiles it touches, not its rows' width.
class WriteOptions {
 public:
  static constexpr int kTiledFromCols = 8192;
  explicit WriteOptions(int cols);
  ~WriteOptions();
  WriteOptions(const WriteOptions&) = delete;
  WriteOptions& operator=(const WriteOptions&) = delete;
  char** get() const { return options_; }

 private:
  char** options_ = nullptr;
};

// Writes the plain copy of source's first band into file, which exists
// (a fresh partial file) and is overwritten. Throws GioError: GIO_ERR_READ
// when a block of source cannot be read, GIO_ERR_CREATE when the copy
// cannot be made, GIO_ERR_WRITE when it cannot be written whole.
void WritePlainCopy(GDALDatasetH source, const std::string& file);

}  // namespace gridio

#endif  // GRIDIO_PLAIN_COPY_H_
