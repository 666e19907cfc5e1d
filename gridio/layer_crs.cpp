#include "layer_crs.h"

#include <ogr_srs_api.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <system_error>

#include "gdal_raster.h"
#include "layer_location.h"
#include "never_destroyed.h"

namespace gridio {

namespace fs = std::filesystem;

namespace {

constexpr double kCellTolerance = 1e-6;

struct CrsMemory {
  bool described_valid = false;
  LayerCrs described;
  // Set from the described layer's cells: window_wkt is its CRS.
  bool window_from_layer = false;
  std::string window_wkt;
  // Named by the host for the window in force.
  bool host_named = false;
  std::string host_wkt;
  std::string deleted_dir;
  LayerCrs deleted;
  unsigned long deleted_call = 0;
};

// On the heap, so that ForgetCrsMemory can give its strings back before the
// library is unloaded; the holder itself is never destroyed.
std::unique_ptr<CrsMemory>& Holder() {
  static NeverDestroyed<std::unique_ptr<CrsMemory>> holder;
  return holder.get();
}

CrsMemory& Memory() {
  std::unique_ptr<CrsMemory>& memory = Holder();
  if (!memory) memory.reset(new CrsMemory);
  return *memory;
}

bool Near(double a, double b, double cell) { return std::fabs(a - b) <= kCellTolerance * cell; }

// Owns one OGR spatial reference.
class SpatialRef {
 public:
  explicit SpatialRef(const std::string& wkt) : ref_(OSRNewSpatialReference(wkt.c_str())) {}
  ~SpatialRef() {
    if (ref_ != nullptr) OSRDestroySpatialReference(ref_);
  }
  SpatialRef(const SpatialRef&) = delete;
  SpatialRef& operator=(const SpatialRef&) = delete;
  OGRSpatialReferenceH get() const { return ref_; }

 private:
  OGRSpatialReferenceH ref_;
};

}  // namespace

std::string DatasetCrs(GDALDatasetH dataset) {
  const char* wkt = dataset == nullptr ? nullptr : GDALGetProjectionRef(dataset);
  return wkt == nullptr ? std::string() : std::string(wkt);
}

bool ReadLayerCrs(const std::string& dir, LayerCrs* crs) {
  const LayerLocation location = LocateLayer(dir);
  if (location.kind == LayerKind::kNone) return false;
  Dataset dataset = OpenRaster(location, false);
  RasterInfo info;
  GDALDatasetH handle = static_cast<GDALDatasetH>(dataset.get());
  if (!dataset || !InspectRaster(handle, &info)) return false;
  crs->grid = info.grid;
  crs->wkt = DatasetCrs(handle);
  return true;
}

namespace {

// Whether a and b name the same CRS; two without one count as the same.
bool SameCrs(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return a.empty() && b.empty();
  if (a == b) return true;
  SpatialRef first(a), second(b);
  return first.get() != nullptr && second.get() != nullptr &&
         OSRIsSame(first.get(), second.get()) != 0;
}

// Whether two grids have the same rows, columns, cell size and box (within a
// millionth of a cell).
bool SameCells(const LayerGrid& a, const LayerGrid& b) {
  if (a.rows != b.rows || a.cols != b.cols) return false;
  const double cell = a.CellSize();
  if (!Near(cell, b.CellSize(), cell)) return false;
  double box_a[4], box_b[4];
  a.Box(box_a);
  b.Box(box_b);
  for (int i = 0; i < 4; ++i)
    if (!Near(box_a[i], box_b[i], cell)) return false;
  return true;
}

// The CRS every layer directory in workspace other than except_dir shares;
// empty when they disagree, one has none, or there are none.
std::string SharedCrs(const std::string& workspace, const std::string& except_dir) {
  std::error_code ec;
  fs::directory_iterator it(workspace, ec), end;
  bool found = false;
  std::string shared;
  for (; !ec && it != end; it.increment(ec)) {
    if (!it->is_directory(ec) || it->path() == fs::path(except_dir)) continue;
    LayerCrs layer;
    if (!ReadLayerCrs(it->path().string(), &layer)) continue;
    if (layer.wkt.empty()) return std::string();
    if (!found) {
      shared = layer.wkt;
      found = true;
    } else if (!SameCrs(shared, layer.wkt)) {
      return std::string();
    }
  }
  return ec ? std::string() : shared;
}

}  // namespace

void ForgetCrsMemory() { Holder().reset(); }

void NoteDescribed(const LayerCrs& layer) {
  Memory().described = layer;
  Memory().described_valid = true;
}

void NoteDeleted(const std::string& dir, const LayerCrs& layer, unsigned long call) {
  Memory().deleted_dir = dir;
  Memory().deleted = layer;
  Memory().deleted_call = call;
}

void NoteWindow(const WindowGrid& window) {
  CrsMemory& memory = Memory();
  memory.window_from_layer =
      memory.described_valid && SameCells(LayerGrid::FromWindow(window), memory.described.grid);
  memory.window_wkt = memory.window_from_layer ? memory.described.wkt : std::string();
  memory.host_named = false;
  memory.host_wkt.clear();
}

void NoteWindowCrs(const std::string& wkt) {
  CrsMemory& memory = Memory();
  memory.host_named = !wkt.empty();
  memory.host_wkt = wkt;
}

bool ReadableCrs(const std::string& wkt) {
  OGRSpatialReferenceH ref = OSRNewSpatialReference(nullptr);
  if (ref == nullptr) return false;
  const bool readable = OSRSetFromUserInput(ref, wkt.c_str()) == OGRERR_NONE;
  OSRDestroySpatialReference(ref);
  return readable;
}

std::string CrsForNewLayer(const std::string& dir, const LayerGrid& grid,
                           const LayerCrs* replaced, unsigned long call) {
  const CrsMemory& memory = Memory();
  if (replaced != nullptr && SameCells(replaced->grid, grid)) return replaced->wkt;
  if (memory.deleted_call != 0 && memory.deleted_call + 1 == call && memory.deleted_dir == dir &&
      SameCells(memory.deleted.grid, grid)) {
    return memory.deleted.wkt;
  }
  if (memory.host_named) return memory.host_wkt;
  if (memory.window_from_layer) return memory.window_wkt;
  return SharedCrs(fs::path(dir).parent_path().string(), dir);
}

}  // namespace gridio
