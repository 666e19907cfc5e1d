#include "plain_copy.h"

#include <cpl_error.h>
#include <cpl_string.h>

#include <algorithm>
#include <vector>

#include "avgridio.h"
#include "gdal_raster.h"
#include "gio_error.h"

namespace gridio {

namespace {

// Cells read and written at a time, at most (at least one block row).
constexpr long long kChunkBytes = 16 << 20;

void CopyDescription(GDALDatasetH source, GDALDatasetH copy) {
  double gt[6];
  if (GDALGetGeoTransform(source, gt) == CE_None && GDALSetGeoTransform(copy, gt) != CE_None)
    Fail(GIO_ERR_CREATE);
  const char* wkt = GDALGetProjectionRef(source);
  if (wkt != nullptr && wkt[0] != '\0' && GDALSetProjection(copy, wkt) != CE_None)
    Fail(GIO_ERR_CREATE);
  GDALSetMetadata(copy, GDALGetMetadata(source, nullptr), nullptr);

  GDALRasterBandH from = GDALGetRasterBand(source, 1);
  GDALRasterBandH to = GDALGetRasterBand(copy, 1);
  int has_nodata = 0;
  const double nodata = GDALGetRasterNoDataValue(from, &has_nodata);
  if (has_nodata && GDALSetRasterNoDataValue(to, nodata) != CE_None) Fail(GIO_ERR_CREATE);
  GDALSetMetadata(to, GDALGetMetadata(from, nullptr), nullptr);
  GDALSetDescription(to, GDALGetDescription(from));
  int has_offset = 0, has_scale = 0;
  const double offset = GDALGetRasterOffset(from, &has_offset);
  const double scale = GDALGetRasterScale(from, &has_scale);
  if (has_offset) GDALSetRasterOffset(to, offset);
  if (has_scale) GDALSetRasterScale(to, scale);
  const char* unit = GDALGetRasterUnitType(from);
  if (unit != nullptr && unit[0] != '\0') GDALSetRasterUnitType(to, unit);
  GDALColorTableH colors = GDALGetRasterColorTable(from);
  if (colors != nullptr) GDALSetRasterColorTable(to, colors);
}

}  // namespace

WriteOptions::WriteOptions(int cols) {
  options_ = CSLSetNameValue(options_, "BIGTIFF", "IF_SAFER");
  options_ = CSLSetNameValue(options_, "SPARSE_OK", "TRUE");
  if (cols >= kTiledFromCols) {
    options_ = CSLSetNameValue(options_, "TILED", "YES");
    options_ = CSLSetNameValue(options_, "BLOCKXSIZE", "256");
    options_ = CSLSetNameValue(options_, "BLOCKYSIZE", "256");
  }
}

WriteOptions::~WriteOptions() { CSLDestroy(options_); }

void WritePlainCopy(GDALDatasetH source, const std::string& file) {
  const int cols = GDALGetRasterXSize(source);
  const int rows = GDALGetRasterYSize(source);
  GDALRasterBandH from = GDALGetRasterBand(source, 1);
  if (from == nullptr || cols <= 0 || rows <= 0) Fail(GIO_ERR_CREATE);
  const GDALDataType type = GDALGetRasterDataType(from);
  const int sample = GDALGetDataTypeSizeBytes(type);
  int block_cols = 0, block_rows = 0;
  GDALGetBlockSize(from, &block_cols, &block_rows);
  block_rows = std::max(1, block_rows);
  const long long row_bytes = static_cast<long long>(cols) * sample;
  const int chunk_rows =
      static_cast<int>(std::min<long long>(
          rows, std::max<long long>(1, kChunkBytes / row_bytes / block_rows) * block_rows));

  const WriteOptions options(cols);
  Dataset copy(GDALCreate(GeoTiffDriver(), file.c_str(), cols, rows, 1, type, options.get()));
  if (!copy) Fail(GIO_ERR_CREATE);
  GDALDatasetH target = static_cast<GDALDatasetH>(copy.get());
  CopyDescription(source, target);
  GDALRasterBandH to = GDALGetRasterBand(target, 1);

  std::vector<unsigned char> cells(static_cast<size_t>(row_bytes) * chunk_rows);
  for (int first = 0; first < rows; first += chunk_rows) {
    const int count = std::min(chunk_rows, rows - first);
    if (GDALRasterIO(from, GF_Read, 0, first, cols, count, cells.data(), cols, count, type, 0,
                     0) != CE_None) {
      Fail(GIO_ERR_READ);
    }
    if (GDALRasterIO(to, GF_Write, 0, first, cols, count, cells.data(), cols, count, type, 0,
                     0) != CE_None) {
      Fail(GIO_ERR_WRITE);
    }
    // Neither side's cache needs this chunk again: the copy's blocks go out,
    // the source's are dropped, so memory stays at a chunk or two.
    if (GDALFlushRasterCache(to) != CE_None) Fail(GIO_ERR_WRITE);
    GDALFlushRasterCache(from);
  }
  // Closing writes the last blocks and the directory; only a failure from
  // here on counts.
  CPLErrorReset();
  copy.reset();
  if (CPLGetLastErrorType() >= CE_Failure) Fail(GIO_ERR_WRITE);
}

}  // namespace gridio
