#include <cpl_error.h>
#include <cpl_string.h>

#include <filesystem>
#include <system_error>

#include "avgridio.h"
#include "durable_file.h"
#include "gio_error.h"
#include "layer.h"

namespace gridio {

namespace fs = std::filesystem;

namespace {

// Strips keep row access cheap; files beyond 4 GB switch to BigTIFF.
const char* const kCreateOptions[] = {"BIGTIFF=IF_SAFER", nullptr};

void RemoveQuietly(const std::string& file) {
  if (file.empty()) return;
  std::error_code ec;
  fs::remove(file, ec);
}

// GIO_ERR_NOT_DIRECTORY when something other than a directory is at dir.
void RejectNonDirectory(const std::string& dir) {
  std::error_code ec;
  const fs::file_status status = fs::status(dir, ec);
  if (fs::exists(status) && !fs::is_directory(status)) Fail(GIO_ERR_NOT_DIRECTORY);
}

// Makes partial a private GeoTIFF copy of source, byte for byte when the
// raster is a single file, else rewritten by GDAL so that georeferencing
// held in side files (world files) travels with it.
void CopyForUpdate(const LayerLocation& location, GDALDatasetH source, const std::string& partial) {
  char** files = GDALGetFileList(source);
  const bool single_file = CSLCount(files) == 1;
  CSLDestroy(files);
  if (single_file) {
    std::error_code ec;
    fs::copy_file(location.raster, partial, ec);
    if (ec) Fail(GIO_ERR_CREATE);
    return;
  }
  Dataset copy(GDALCreateCopy(GeoTiffDriver(), partial.c_str(), source, FALSE,
                              const_cast<char**>(kCreateOptions), nullptr, nullptr));
  if (!copy) {
    RemoveQuietly(partial);
    Fail(GIO_ERR_CREATE);
  }
}

}  // namespace

std::unique_ptr<Layer> Layer::Open(const std::string& dir, int mode) {
  if (mode != GIO_READ && mode != GIO_READWRITE) Fail(GIO_ERR_ARGUMENT);
  // Absolute, so that a commit still finds its target after the process
  // changed its current directory.
  const std::string normal_dir = NormalLayerDirectory(dir);
  const LayerLocation location = LocateLayer(normal_dir);
  if (location.kind == LayerKind::kNone) {
    RejectNonDirectory(normal_dir);
    Fail(GIO_ERR_NOT_FOUND);
  }
  if (mode == GIO_READWRITE && location.kind != LayerKind::kGeoTiff) Fail(GIO_ERR_READ_ONLY);

  std::unique_ptr<Layer> layer(new Layer);
  layer->dataset_ = OpenRaster(location, false);
  if (!layer->dataset_ ||
      !InspectRaster(static_cast<GDALDatasetH>(layer->dataset_.get()), &layer->info_)) {
    Fail(GIO_ERR_OPEN);
  }
  if (mode == GIO_READWRITE) {
    layer->partial_file_ = PartialFileBeside(normal_dir);
    CopyForUpdate(location, static_cast<GDALDatasetH>(layer->dataset_.get()), layer->partial_file_);
    layer->writable_ = true;
    layer->target_file_ = location.raster;
    layer->dataset_ = OpenGeoTiffForUpdate(layer->partial_file_);
    if (!layer->dataset_ ||
        !InspectRaster(static_cast<GDALDatasetH>(layer->dataset_.get()), &layer->info_)) {
      Fail(GIO_ERR_OPEN);
    }
  }
  layer->band_ = GDALGetRasterBand(static_cast<GDALDatasetH>(layer->dataset_.get()), 1);
  layer->SetBlockRows();
  if (!layer->writable_ && location.kind == LayerKind::kGeoTiff) {
    const char* compression = GDALGetMetadataItem(
        static_cast<GDALDatasetH>(layer->dataset_.get()), "COMPRESSION", "IMAGE_STRUCTURE");
    layer->compressed_ = compression != nullptr && !EQUAL(compression, "NONE");
    layer->read_location_ = location;
  }
  layer->nodata_ = NodataRule(layer->info_.has_nodata, layer->info_.nodata);
  return layer;
}

std::unique_ptr<Layer> Layer::Create(const std::string& dir, int cell_type, const LayerGrid& grid) {
  if (cell_type != GIO_CELLINT && cell_type != GIO_CELLFLOAT) Fail(GIO_ERR_ARGUMENT);
  const std::string normal_dir = NormalLayerDirectory(dir);
  RejectNonDirectory(normal_dir);
  const LayerLocation existing = LocateLayer(normal_dir);
  if (existing.kind == LayerKind::kEsriGrid) Fail(GIO_ERR_READ_ONLY);

  std::unique_ptr<Layer> layer(new Layer);
  layer->writable_ = true;
  layer->target_file_ = (fs::path(normal_dir) / kLayerFileName).string();
  if (existing.kind == LayerKind::kGeoTiff && existing.raster != layer->target_file_)
    layer->replaced_file_ = existing.raster;
  layer->partial_file_ = PartialFileBeside(normal_dir);

  layer->dataset_ =
      Dataset(GDALCreate(GeoTiffDriver(), layer->partial_file_.c_str(), grid.cols, grid.rows, 1,
                         RowType(cell_type), const_cast<char**>(kCreateOptions)));
  if (!layer->dataset_) Fail(GIO_ERR_CREATE);
  GDALDatasetH dataset = static_cast<GDALDatasetH>(layer->dataset_.get());
  double gt[6] = {grid.x_origin, grid.x_step, 0.0, grid.y_origin, 0.0, grid.y_step};
  layer->band_ = GDALGetRasterBand(dataset, 1);
  const double nodata = cell_type == GIO_CELLINT ? static_cast<double>(GIO_MISSING_INT)
                                                 : static_cast<double>(GIO_MISSING_FLOAT);
  if (GDALSetGeoTransform(dataset, gt) != CE_None ||
      GDALSetRasterNoDataValue(layer->band_, nodata) != CE_None) {
    Fail(GIO_ERR_CREATE);
  }
  layer->info_.cell_type = cell_type;
  layer->info_.grid = grid;
  layer->info_.has_nodata = true;
  layer->info_.nodata = nodata;
  layer->nodata_ = NodataRule(true, nodata);
  layer->SetBlockRows();
  return layer;
}

Layer::~Layer() {
  read_ahead_.reset();
  dataset_.reset();
  // Not committed: the layer on disk stays as it was.
  RemoveQuietly(partial_file_);
}

int Layer::Close() {
  read_ahead_.reset();
  if (!writable_) {
    dataset_.reset();
    return GIO_OK;
  }
  CPLErrorReset();
  GDALFlushCache(static_cast<GDALDatasetH>(dataset_.get()));
  bool failed = write_failed_ || CPLGetLastErrorType() >= CE_Failure;
  dataset_.reset();
  failed = failed || CPLGetLastErrorType() >= CE_Failure;
  if (failed || !CommitFile(partial_file_, target_file_)) {
    RemoveQuietly(partial_file_);
    partial_file_.clear();
    return GIO_ERR_WRITE;
  }
  partial_file_.clear();
  // Only now that the new raster is in place may the one it replaces go.
  RemoveQuietly(replaced_file_);
  return GIO_OK;
}

}  // namespace gridio
