#include <cpl_error.h>

#include <filesystem>
#include <system_error>

#include "avgridio.h"
#include "partial_file.h"
#include "plain_copy.h"
#include "gio_error.h"
#include "layer.h"
#include "layer_crs.h"
#include "rollback_journal.h"

namespace gridio {

namespace fs = std::filesystem;

namespace {

void RemoveQuietly(const std::string& file) {
  if (file.empty()) return;
  std::error_code ec;
  fs::remove(file, ec);
}

// Killed writers' partial files of the layer in dir (beside it) and of its
// kept statistics (inside it).
void SweepLeftoversOf(const std::string& dir) {
  const fs::path layer(dir);
  SweepPartialFiles(layer.parent_path().string(), layer.filename().string());
  SweepPartialFiles(dir);
}

// Replaces the raster at location by its plain copy (plain_copy.h) under
// the same name, forced to the disk before the rename: what another reader
// sees is the old file or the converted one, and a power loss leaves one of
// them. Side files (a world file) stay; the converted file carries its
// georeferencing itself.
void ConvertForUpdate(const LayerLocation& location, GDALDatasetH source) {
  PartialFile partial(location.raster);
  WritePlainCopy(source, partial.path());
  if (!partial.CommitTo(location.raster, true)) Fail(GIO_ERR_WRITE);
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
    SweepLeftoversOf(normal_dir);
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
  // Taking the lock may have rolled back another writer's update, or
  // followed a whole-layer replacement, which may have put its raster
  // under the library's own name.
  if (LocateLayer(fs::path(location.raster).parent_path().string()).raster != location.raster)
    Fail(GIO_ERR_OPEN);
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
  SweepLeftoversOf(normal_dir);
  LayerLocation existing = LocateLayer(normal_dir);
  if (existing.kind == LayerKind::kEsriGrid) Fail(GIO_ERR_READ_ONLY);

  std::unique_ptr<Layer> layer(new Layer);
  layer->writable_ = true;
  layer->target_file_ = (fs::path(normal_dir) / kLayerFileName).string();
  if (existing.kind == LayerKind::kGeoTiff) {
    // A writer updating the layer in place finishes first (or this one
    // gives up, as a second writer would); a killed one's update is undone.
    layer->replaced_turn_.reset(
        new RollbackJournal(existing.raster, layer->replaced_raster_, RawFile::Mode::kReadWrite));
    if (LocateLayer(normal_dir).raster != existing.raster) Fail(GIO_ERR_OPEN);
    if (existing.raster != layer->target_file_) layer->replaced_file_ = existing.raster;
  }
  layer->partial_.reset(new PartialFile(normal_dir));

  const WriteOptions options(grid.cols);
  layer->dataset_ = Dataset(GDALCreate(GeoTiffDriver(), layer->partial_->path().c_str(), grid.cols,
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
  partial_.reset();
  replaced_turn_.reset();
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
  // A layer that replaces another is forced to the disk before its rename
  // (and the rename after it), so that a power loss cannot leave neither. A
  // new layer is not: forcing a file just written costs about as much as
  // writing it, and a power loss can then only damage the layer just made.
  const bool replaces = replaced_turn_ != nullptr;
  if (failed || !partial_->CommitTo(target_file_, replaces)) {
    partial_.reset();
    replaced_turn_.reset();
    return GIO_ERR_WRITE;
  }
  partial_.reset();
  // Whatever was kept for the raster this one replaced no longer applies.
  DropKeptStats(target_file_);
  // Only now that the new raster is in place may the one it replaces go.
  if (!replaced_file_.empty()) {
    RemoveQuietly(replaced_file_);
    DropKeptStats(replaced_file_);
  }
  if (replaced_turn_) replaced_turn_->Commit();
  replaced_turn_.reset();
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
