#include <cpl_error.h>
#include <cpl_string.h>

#include <filesystem>
#include <system_error>

#include "avgridio.h"
#include "durable_commit.h"
#include "durable_file.h"
#include "gio_error.h"
#include "layer.h"
#include "layer_crs.h"
#include "rollback_journal.h"

namespace gridio {

namespace fs = std::filesystem;

namespace {

// Layers at least this wide are tiled: a block written into a new layer
// then takes the tiles it touches on disk, not its rows' whole width.
constexpr int kTiledFromCols = 8192;

// Options of every raster this library writes: blocks never written stay
// out of the file (and read as nodata); files beyond 4 GB switch to
// BigTIFF; no compression, so that cells can later change in place.
class WriteOptions {
 public:
  explicit WriteOptions(int cols) {
    options_ = CSLSetNameValue(options_, "BIGTIFF", "IF_SAFER");
    options_ = CSLSetNameValue(options_, "SPARSE_OK", "TRUE");
    if (cols >= kTiledFromCols) {
      options_ = CSLSetNameValue(options_, "TILED", "YES");
      options_ = CSLSetNameValue(options_, "BLOCKXSIZE", "256");
      options_ = CSLSetNameValue(options_, "BLOCKYSIZE", "256");
    }
  }
  ~WriteOptions() { CSLDestroy(options_); }
  WriteOptions(const WriteOptions&) = delete;
  WriteOptions& operator=(const WriteOptions&) = delete;
  char** get() const { return options_; }

 private:
  char** options_ = nullptr;
};

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

// Replaces the raster at location by an uncompressed GeoTIFF of the same
// cells, grid, type and nodata, under the same name, in one atomic step:
// what another reader sees is the old file or the converted one. Side
// files (a world file) stay; the converted file carries its georeferencing
// itself.
void ConvertForUpdate(const LayerLocation& location, GDALDatasetH source) {
  const std::string partial = PartialFileBeside(fs::path(location.raster).parent_path().string());
  const WriteOptions options(GDALGetRasterXSize(source));
  CPLErrorReset();
  Dataset copy(GDALCreateCopy(GeoTiffDriver(), partial.c_str(), source, FALSE, options.get(),
                              nullptr, nullptr));
  if (!copy) {
    RemoveQuietly(partial);
    Fail(GIO_ERR_CREATE);
  }
  copy.reset();
  if (CPLGetLastErrorType() >= CE_Failure || !CommitFileDurably(partial, location.raster)) {
    RemoveQuietly(partial);
    Fail(GIO_ERR_WRITE);
  }
}

}  // namespace

void Layer::OpenDataset(const LayerLocation& location) {
  dataset_ = OpenRaster(location, false);
  if (!dataset_ || !InspectRaster(static_cast<GDALDatasetH>(dataset_.get()), &info_))
    Fail(GIO_ERR_OPEN);
  band_ = GDALGetRasterBand(static_cast<GDALDatasetH>(dataset_.get()), 1);
  nodata_ = NodataRule(info_.has_nodata, info_.nodata);
  SetBlockRows();
}

std::unique_ptr<Layer> Layer::Open(const std::string& dir, int mode) {
  if (mode != GIO_READ && mode != GIO_READWRITE) Fail(GIO_ERR_ARGUMENT);
  // Absolute, so that a commit still finds its target after the process
  // changed its current directory.
  const std::string normal_dir = NormalLayerDirectory(dir);
  const LayerLocation location = LocateRecoveredLayer(normal_dir);
  if (location.kind == LayerKind::kNone) {
    RejectNonDirectory(normal_dir);
    Fail(GIO_ERR_NOT_FOUND);
  }
  if (mode == GIO_READWRITE) {
    if (location.kind != LayerKind::kGeoTiff) Fail(GIO_ERR_READ_ONLY);
    return OpenForUpdate(location);
  }
  std::unique_ptr<Layer> layer(new Layer);
  layer->OpenDataset(location);
  if (location.kind == LayerKind::kGeoTiff) {
    const char* compression = GDALGetMetadataItem(
        static_cast<GDALDatasetH>(layer->dataset_.get()), "COMPRESSION", "IMAGE_STRUCTURE");
    layer->compressed_ = compression != nullptr && !EQUAL(compression, "NONE");
    layer->read_location_ = location;
    layer->raster_ = location.raster;
  }
  return layer;
}

std::unique_ptr<Layer> Layer::OpenForUpdate(const LayerLocation& location) {
  std::unique_ptr<Layer> layer(new Layer);
  layer->writable_ = true;
  layer->raster_ = location.raster;
  layer->update_location_ = location;
  // Something GDAL cannot read is refused before a writer's lock is taken.
  layer->OpenDataset(location);
  layer->update_.reset(new InPlaceUpdate(location.raster));
  // Taking the lock may have rolled back another writer's update.
  layer->OpenDataset(location);
  if (!layer->PrepareUpdate()) {
    ConvertForUpdate(location, static_cast<GDALDatasetH>(layer->dataset_.get()));
    layer->OpenDataset(location);
    layer->update_->ReopenRaster();
    if (!layer->PrepareUpdate()) Fail(GIO_ERR_OPEN);
  }
  return layer;
}

bool Layer::PrepareUpdate() {
  // Overviews and masks would go stale under cells changed in place.
  if (GDALGetOverviewCount(band_) != 0 || (GDALGetMaskFlags(band_) & GMF_PER_DATASET) != 0)
    return false;
  int block_cols = 0, block_rows = 0;
  GDALGetBlockSize(band_, &block_cols, &block_rows);
  const double fill = info_.has_nodata ? info_.nodata : 0.0;
  return update_->Prepare(GDALGetRasterDataType(band_), RowType(info_.cell_type), info_.grid.cols,
                          info_.grid.rows, block_cols, block_rows, fill);
}

std::unique_ptr<Layer> Layer::Create(const std::string& dir, int cell_type, const LayerGrid& grid,
                                     const std::string& crs_wkt) {
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

  const WriteOptions options(grid.cols);
  layer->dataset_ = Dataset(GDALCreate(GeoTiffDriver(), layer->partial_file_.c_str(), grid.cols,
                                       grid.rows, 1, RowType(cell_type), options.get()));
  if (!layer->dataset_) Fail(GIO_ERR_CREATE);
  GDALDatasetH dataset = static_cast<GDALDatasetH>(layer->dataset_.get());
  double gt[6] = {grid.x_origin, grid.x_step, 0.0, grid.y_origin, 0.0, grid.y_step};
  layer->band_ = GDALGetRasterBand(dataset, 1);
  const double nodata = cell_type == GIO_CELLINT ? static_cast<double>(GIO_MISSING_INT)
                                                 : static_cast<double>(GIO_MISSING_FLOAT);
  if (GDALSetGeoTransform(dataset, gt) != CE_None ||
      (!crs_wkt.empty() && GDALSetProjection(dataset, crs_wkt.c_str()) != CE_None) ||
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

std::string Layer::crs() const { return DatasetCrs(static_cast<GDALDatasetH>(dataset_.get())); }

Layer::~Layer() {
  read_ahead_.reset();
  dataset_.reset();
  // Not committed: the layer on disk stays as it was.
  update_.reset();
  RemoveQuietly(partial_file_);
}

int Layer::Close() {
  read_ahead_.reset();
  if (update_) return CloseUpdate();
  if (!writable_) {
    dataset_.reset();
    return GIO_OK;
  }
  CPLErrorReset();
  GDALFlushCache(static_cast<GDALDatasetH>(dataset_.get()));
  bool failed = write_failed_ || CPLGetLastErrorType() >= CE_Failure;
  dataset_.reset();
  failed = failed || CPLGetLastErrorType() >= CE_Failure;
  // Renamed without forcing its bytes to the disk first: atomic against a
  // killed process as it is, and a new layer's fsync would cost as much as
  // writing it (a power loss may still damage a layer created just before).
  if (failed || !CommitFile(partial_file_, target_file_)) {
    RemoveQuietly(partial_file_);
    partial_file_.clear();
    return GIO_ERR_WRITE;
  }
  partial_file_.clear();
  // Whatever was kept for the raster this one replaced no longer applies.
  DropKeptStats(target_file_);
  // Only now that the new raster is in place may the one it replaces go.
  if (!replaced_file_.empty()) {
    RemoveQuietly(replaced_file_);
    DropKeptStats(replaced_file_);
  }
  return GIO_OK;
}

int Layer::CloseUpdate() {
  int result = GIO_OK;
  try {
    if (write_failed_) Fail(GIO_ERR_WRITE);
    FlushPending();
    update_->Commit();
  } catch (...) {
    update_->RollBack();
    result = GIO_ERR_WRITE;
  }
  update_.reset();
  dataset_.reset();
  if (result == GIO_OK && stats_kept_) StoreUpdatedStats();
  return result;
}

}  // namespace gridio
