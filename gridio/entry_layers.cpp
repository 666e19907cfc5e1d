// Layers as a whole: existence, open, create, close, delete, copy, describe.
#include "avgridio.h"
#include "entry_frame.h"
#include "gdal_raster.h"
#include "layer.h"
#include "layer_crs.h"
#include "layer_files.h"
#include "layer_location.h"
#include "layer_describe.h"
#include "library_state.h"

using namespace gridio;

namespace {

void RequirePath(const char* path) {
  if (path == nullptr || path[0] == '\0') Fail(GIO_ERR_ARGUMENT);
}

}  // namespace

GIO_API int GridExists(const char* path) {
  const int found = RunEntry([&]() -> int {
    if (!State().set_up || path == nullptr || path[0] == '\0') return 0;
    const LayerLocation location = LocateRecoveredLayer(path);
    if (location.kind == LayerKind::kNone) return 0;
    Dataset dataset = OpenRaster(location, false);
    RasterInfo info;
    return InspectRaster(static_cast<GDALDatasetH>(dataset.get()), &info) ? 1 : 0;
  });
  return found == 1 ? 1 : 0;
}

GIO_API int CellLayerOpen(const char* path, int mode, int /*evaluation*/, int32_t* cell_type,
                          double* cell_size) {
  return RunEntry([&]() -> int {
    RequireSetUp();
    RequirePath(path);
    if (cell_type == nullptr || cell_size == nullptr) Fail(GIO_ERR_ARGUMENT);
    std::unique_ptr<Layer> layer = Layer::Open(path, mode);
    const int type = layer->cell_type();
    const double size = layer->grid().CellSize();
    const int handle = AddLayer(std::move(layer));
    *cell_type = type;
    *cell_size = size;
    return handle;
  });
}

GIO_API int CellLayerCreate(const char* path, int mode, int /*evaluation*/, int32_t cell_type,
                            double cell_size, const double* box) {
  return RunEntry([&]() -> int {
    RequireSetUp();
    RequirePath(path);
    if (mode != GIO_READWRITE || box == nullptr) Fail(GIO_ERR_ARGUMENT);
    WindowGrid window;
    if (!SnapToCells(box, cell_size, &window)) Fail(GIO_ERR_ARGUMENT);
    const LayerGrid grid = LayerGrid::FromWindow(window);
    const std::string dir = NormalLayerDirectory(path);
    LayerCrs replaced;
    const bool replaces = ReadLayerCrs(dir, &replaced);
    const std::string crs = CrsForNewLayer(dir, grid, replaces ? &replaced : nullptr, EntryCall());
    return AddLayer(Layer::Create(path, cell_type, grid, crs));
  });
}

GIO_API int CellLyrClose(int handle) {
  return RunEntry([&]() -> int { return CloseLayer(handle); });
}

GIO_API int CellLyrDelete(const char* path) {
  return RunEntry([&]() -> int {
    RequireSetUp();
    RequirePath(path);
    const std::string dir = NormalLayerDirectory(path);
    LayerCrs deleted;
    const bool known = ReadLayerCrs(dir, &deleted);
    DeleteLayer(path);
    if (known) NoteDeleted(dir, deleted, EntryCall());
    return GIO_OK;
  });
}

GIO_API int GridCopy(const char* from, const char* to) {
  return RunEntry([&]() -> int {
    RequireSetUp();
    RequirePath(from);
    RequirePath(to);
    CopyLayer(from, to);
    return GIO_OK;
  });
}

GIO_API int DescribeGridDbl(const char* path, double* cell_size, int32_t* rows_cols, double* box,
                            double* stats, int32_t* data_type, int32_t* class_count,
                            int32_t* record_length) {
  return RunEntry([&]() -> int {
    RequireSetUp();
    RequirePath(path);
    if (cell_size == nullptr || rows_cols == nullptr || box == nullptr || stats == nullptr ||
        data_type == nullptr || class_count == nullptr || record_length == nullptr) {
      Fail(GIO_ERR_ARGUMENT);
    }
    std::unique_ptr<Layer> layer = Layer::Open(path, GIO_READ);
    const LayerStats summary = DescribedStats(path, &layer);
    const LayerGrid& grid = layer->grid();
    NoteDescribed(LayerCrs{grid, layer->crs()});
    *cell_size = grid.CellSize();
    rows_cols[0] = grid.rows;
    rows_cols[1] = grid.cols;
    grid.Box(box);
    stats[0] = summary.minimum;
    stats[1] = summary.maximum;
    stats[2] = summary.mean;
    stats[3] = summary.std_dev;
    *data_type = layer->cell_type();
    *class_count = 0;
    *record_length = 0;
    return GIO_OK;
  });
}

GIO_API int GridIOCleanWorkspace(const char* dir) {
  return RunEntry([&]() -> int {
    RequireSetUp();
    RequirePath(dir);
    return CleanWorkspace(dir);
  });
}
