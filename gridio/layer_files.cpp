#include "layer_files.h"

#include <cpl_string.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "avgridio.h"
#include "gdal_raster.h"
#include "gio_error.h"
#include "kept_stats.h"
#include "layer_location.h"
#include "partial_file.h"
#include "plain_copy.h"
#include "raw_file.h"
#include "rollback_journal.h"

namespace gridio {

namespace fs = std::filesystem;

namespace {

// An interrupted commit can leave at most the new and the replaced raster.
constexpr int kMaxRastersPerLayer = 8;

// Side files of raster that GDAL knows of, limited to raster's own directory.
std::vector<fs::path> SideFiles(const LayerLocation& location) {
  std::vector<fs::path> files;
  Dataset dataset = OpenRaster(location, false);
  if (!dataset) return files;
  const fs::path raster(location.raster);
  char** list = GDALGetFileList(static_cast<GDALDatasetH>(dataset.get()));
  for (char** item = list; item != nullptr && *item != nullptr; ++item) {
    const fs::path file(*item);
    if (file != raster && file.parent_path() == raster.parent_path()) files.push_back(file);
  }
  CSLDestroy(list);
  return files;
}

}  // namespace

void DeleteLayer(const std::string& dir) {
  const std::string normal_dir = NormalLayerDirectory(dir);
  bool deleted = false;
  for (int i = 0; i < kMaxRastersPerLayer; ++i) {
    const LayerLocation location = LocateLayer(normal_dir);
    if (location.kind == LayerKind::kNone) break;
    if (location.kind == LayerKind::kEsriGrid) Fail(GIO_ERR_READ_ONLY);
    // A writer updating the raster in place finishes first: its close
    // must not report cells kept in a file that is then gone.
    RawFile raster;
    RollbackJournal turn(location.raster, raster, RawFile::Mode::kReadWrite);
    const std::vector<fs::path> side_files = SideFiles(location);
    std::error_code ec;
    if (!fs::remove(location.raster, ec) || ec) Fail(GIO_ERR_WRITE);
    for (const fs::path& file : side_files) fs::remove(file, ec);
    // The library's own files beside the raster: it is gone, they are void.
    DropKeptStats(location.raster);
    turn.Commit();
    deleted = true;
  }
  if (!deleted) {
    RejectNonDirectory(dir);
    Fail(GIO_ERR_NOT_FOUND);
  }
  // A plain removal: a directory that holds anything else stays. The name
  // as given: a link to a layer directory goes, what it pointed at stays.
  std::error_code ec;
  fs::remove(fs::path(dir), ec);
}

void CopyLayer(const std::string& from, const std::string& to) {
  const LayerLocation source = LocateRecoveredLayer(from);
  if (source.kind == LayerKind::kNone) {
    RejectNonDirectory(from);
    Fail(GIO_ERR_NOT_FOUND);
  }
  const std::string target_dir = NormalLayerDirectory(to);
  RejectNonDirectory(target_dir);
  if (LocateLayer(target_dir).kind != LayerKind::kNone) Fail(GIO_ERR_EXISTS);

  Dataset dataset = OpenRaster(source, false);
  RasterInfo info;
  if (!dataset || !InspectRaster(static_cast<GDALDatasetH>(dataset.get()), &info))
    Fail(GIO_ERR_OPEN);

  PartialFile partial(target_dir);
  WritePlainCopy(static_cast<GDALDatasetH>(dataset.get()), partial.path());
  if (!partial.CommitTo((fs::path(target_dir) / kLayerFileName).string(), true))
    Fail(GIO_ERR_WRITE);
}

int CleanWorkspace(const std::string& dir) {
  const std::string workspace = NormalLayerDirectory(dir);
  int removed = SweepPartialFiles(workspace);
  std::error_code ec;
  fs::directory_iterator it(workspace, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code entry_ec;
    if (!it->is_directory(entry_ec) || entry_ec) continue;
    removed += SweepPartialFiles(it->path().string());
    fs::directory_iterator inner(it->path(), entry_ec);
    for (; !entry_ec && inner != end; inner.increment(entry_ec)) {
      const std::string raster = RasterOfJournal(inner->path().string());
      if (raster.empty()) continue;
      RecoverLayer(raster);
      if (!fs::exists(fs::symlink_status(inner->path(), entry_ec))) ++removed;
    }
  }
  return removed;
}

}  // namespace gridio
