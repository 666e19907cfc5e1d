#include "layer_describe.h"

#include <algorithm>

#include "avgridio.h"
#include "kept_stats.h"

namespace gridio {

namespace {

// Below this many cells a scan costs about what reading kept statistics
// does (a few milliseconds), and a small layer keeps its directory to its
// raster alone.
constexpr long long kKeptFromCells = 1 << 20;

bool Fits(const KeptStats& kept, const Layer& layer) {
  return kept.cell_type == layer.cell_type() && kept.rows == layer.grid().rows &&
         kept.cols == layer.grid().cols;
}

}  // namespace

LayerStats DescribedStats(const std::string& dir, std::unique_ptr<Layer>* layer) {
  const std::string raster = (*layer)->raster();
  const LayerGrid& grid = (*layer)->grid();
  if (raster.empty() || static_cast<long long>(grid.rows) * grid.cols < kKeptFromCells)
    return ComputeStats(**layer);
  FileIdentity id;
  KeptStats kept;
  if (IdentityOf(raster, &id) && LoadKeptStats(raster, id, &kept) && Fits(kept, **layer)) {
    const bool changed = std::any_of(kept.rows_summary.begin(), kept.rows_summary.end(),
                                     [](const RowSummary& row) { return RowChanged(row); });
    if (!changed) return kept.total;
    // Only the rows written through the library since are read again, from
    // a layer opened once the raster's identity is settled and still the
    // kept one; anything else, and the whole layer is scanned below.
    FileIdentity now, after;
    if (SettledIdentity(raster, &now) && now == id) {
      *layer = Layer::Open(dir, GIO_READ);
      SummariseChangedRows(**layer, &kept.rows_summary);
      if ((*layer)->raster() == raster && IdentityOf(raster, &after) && after == id) {
        kept.total = MergeRows(kept.rows_summary);
        StoreKeptStats(raster, id, kept);
        return kept.total;
      }
    }
  }
  // The identity is taken before the layer is opened for the scan: a
  // raster replaced or changed in between then no longer matches it.
  const bool settled = SettledIdentity(raster, &id);
  if (settled) *layer = Layer::Open(dir, GIO_READ);
  kept.cell_type = (*layer)->cell_type();
  kept.rows = (*layer)->grid().rows;
  kept.cols = (*layer)->grid().cols;
  kept.rows_summary = SummariseLayer(**layer);
  kept.total = MergeRows(kept.rows_summary);
  FileIdentity after;
  if (settled && (*layer)->raster() == raster && IdentityOf(raster, &after) && after == id)
    StoreKeptStats(raster, id, kept);
  return kept.total;
}

}  // namespace gridio
