// The update of a layer opened in mode 2: pending rows flushed into the
// raster, and the layer's kept statistics carried through the update.
#include <vector>

#include "avgridio.h"
#include "gio_error.h"
#include "layer.h"

namespace gridio {

template <typename T>
void Layer::SummarisePending() {
  std::vector<T> row(info_.grid.cols);
  update_->ForEachPending([&](int r) {
    ReadRaw(r, 0, info_.grid.cols, row.data());
    nodata_.ToMarkers(row.data(), info_.grid.cols);
    row_updates_[r] = SummariseRow(row.data(), info_.grid.cols);
  });
}

void Layer::FlushPending() {
  if (!stats_checked_) {
    stats_checked_ = true;
    FileIdentity id;
    stats_kept_ = IdentityOf(raster_, &id) && LoadKeptStats(raster_, id, &stats_before_) &&
                  stats_before_.cell_type == info_.cell_type &&
                  stats_before_.rows == info_.grid.rows && stats_before_.cols == info_.grid.cols;
    // Gone before the first byte changes: a reader never takes the
    // statistics of the layer before the update for the layer after it.
    if (!DropKeptStats(raster_)) Fail(GIO_ERR_WRITE);
  }
  if (stats_kept_) {
    if (info_.cell_type == GIO_CELLINT)
      SummarisePending<int32_t>();
    else
      SummarisePending<float>();
  }
  update_->Flush();
}

void Layer::StoreUpdatedStats() {
  for (const auto& update : row_updates_) stats_before_.rows_summary[update.first] = update.second;
  stats_before_.total = MergeRows(stats_before_.rows_summary);
  FileIdentity id;
  if (SettledIdentity(raster_, &id)) StoreKeptStats(raster_, id, stats_before_);
}

}  // namespace gridio
