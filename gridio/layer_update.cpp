// The update of a layer opened in mode 2: pending rows flushed into the
// raster, and the layer's kept statistics carried through the update.
#include "avgridio.h"
#include "gio_error.h"
#include "layer.h"

namespace gridio {

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
  if (stats_kept_) update_->ForEachPending([&](int r) { changed_rows_.insert(r); });
  update_->Flush();
}

void Layer::StoreUpdatedStats() {
  // Summarised again by the next description, which reads only these rows;
  // reading them here would cost each write a second pass over its rows.
  for (int r : changed_rows_) MarkRowChanged(&stats_before_.rows_summary[r]);
  FileIdentity id;
  if (SettledIdentity(raster_, &id)) StoreKeptStats(raster_, id, stats_before_);
}

}  // namespace gridio
