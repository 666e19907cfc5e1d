#include "layer_files.h"

#include <cpl_error.h>
#include <cpl_string.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "avgridio.h"
#include "durable_commit.h"
#include "gdal_raster.h"
#include "gio_error.h"
#include "kept_stats.h"
#include "layer_location.h"
#include "raw_file.h"
#include "rollback_journal.h"

namespace gridio {

namespace fs = std::filesystem;

namespace {

// An interrupted commit can leave at most the new and the replaced raster.
constexpr int kMaxRastersPerLayer = 8;

// Blocks the source never held stay out of the copy too.
const char* const kCopyOptions[] = {"BIGTIFF=IF_SAFER", "SPARSE_OK=TRUE", nullptr};

void RejectNonDirectory(const std::string& dir) {
  std::error_code ec;
  const fs::file_status status = fs::status(dir, ec);
  if (fs::exists(status) && !fs::is_directory(status)) Fail(GIO_ERR_NOT_DIRECTORY);
}

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

// Removes its file when it goes, unless Keep was called.
class PartialFile {
 public:
  explicit PartialFile(std::string path) : path_(std::move(path)) {}
  ~PartialFile() {
    if (path_.empty()) return;
    std::error_code ec;
    fs::remove(path_, ec);
  }
  PartialFile(const PartialFile&) = delete;
  PartialFile& operator=(const PartialFile&) = delete;
  const std::string& path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::string path_;
};

}  // namespace

void DeleteLayer(const std::string& dir) {
  bool deleted = false;
  for (int i = 0; i < kMaxRastersPerLayer; ++i) {
    const LayerLocation location = LocateLayer(dir);
    if (location.kind == LayerKind::kNone) break;
    if (location.kind == LayerKind::kEsriGrid) Fail(GIO_ERR_READ_ONLY);
    const std::vector<fs::path> side_files = SideFiles(location);
    std::error_code ec;
    if (!fs::remove(location.raster, ec) || ec) Fail(GIO_ERR_WRITE);
    for (const fs::path& file : side_files) fs::remove(file, ec);
    // The library's own files beside the raster: it is gone, they are void.
    RemoveFile(JournalPathFor(location.raster));
    DropKeptStats(location.raster);
    deleted = true;
  }
  if (!deleted) {
    RejectNonDirectory(dir);
    Fail(GIO_ERR_NOT_FOUND);
  }
  // A plain removal: a directory that holds anything else stays.
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

  PartialFile partial(PartialFileBeside(target_dir));
  Dataset copy(GDALCreateCopy(GeoTiffDriver(), partial.path().c_str(),
                              static_cast<GDALDatasetH>(dataset.get()), FALSE,
                              const_cast<char**>(kCopyOptions), nullptr, nullptr));
  if (!copy) Fail(GIO_ERR_CREATE);
  // Closing flushes the last strips; only a failure from here on counts.
  CPLErrorReset();
  copy.reset();
  if (CPLGetLastErrorType() >= CE_Failure) Fail(GIO_ERR_WRITE);
  if (!CommitFileDurably(partial.path(), (fs::path(target_dir) / kLayerFileName).string()))
    Fail(GIO_ERR_WRITE);
  partial.Keep();
}

}  // namespace gridio
