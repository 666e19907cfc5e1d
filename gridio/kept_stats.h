// Statistics kept beside a GeoTIFF layer's raster, so that describing an
// unchanged layer costs a file read instead of a scan of every cell.
//
// File: ".<raster name>.gridio-stats" beside the raster: the raster's
// identity when the statistics were made (device, inode, size, modification
// and change times), its cell type and size, the merged statistics, every
// row's summary (so that a write through the library updates them exactly)
// and a checksum. Kept statistics count only while the raster still has that
// identity: a file rewritten, copied over or replaced by another program
// differs in one of them, and is scanned again.
//
// A file written in the same tick of the file clock as the identity was
// taken could keep its times; identities are therefore only taken once the
// clock has passed the file's times (SettledIdentity), so that any later
// change shows.
#ifndef GRIDIO_KEPT_STATS_H_
#define GRIDIO_KEPT_STATS_H_

#include <string>
#include <vector>

#include "layer_stats.h"
#include "raw_file.h"

namespace gridio {

struct KeptStats {
  int cell_type = 0;
  int rows = 0;
  int cols = 0;
  LayerStats total;
  std::vector<RowSummary> rows_summary;
};

// The kept-statistics file of raster.
std::string StatsPathFor(const std::string& raster);

// The identity of raster, taken when the file clock has passed its times
// (waiting a few milliseconds when it has not yet). False when there is no
// raster, or when its times are too recent for a wait (a file system that
// keeps whole seconds).
bool SettledIdentity(const std::string& raster, FileIdentity* id);

// The statistics kept for raster with identity id; false when there are
// none, they belong to another identity, or the file is damaged.
bool LoadKeptStats(const std::string& raster, const FileIdentity& id, KeptStats* stats);

// Keeps stats for raster with identity id, replacing any kept before. A
// failure (read-only directory, full disk) only means none are kept.
void StoreKeptStats(const std::string& raster, const FileIdentity& id, const KeptStats& stats);

// Forgets raster's kept statistics; false when they could not be removed.
bool DropKeptStats(const std::string& raster);

}  // namespace gridio

#endif  // GRIDIO_KEPT_STATS_H_
