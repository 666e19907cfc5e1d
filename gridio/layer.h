// One open layer: its GDAL dataset, its grid and nodata rule, and the window
// rows read from and written to it.
//
// A readable layer reads its raster in place. A created layer writes a
// private partial file beside the layer directory (blocks never written
// stay out of it, sparse) and becomes visible only when Close renames it
// over the layer's raster; over an existing raster it first waits for that
// layer's writers like another writer, and its Close forces the new raster
// to the disk before the rename and the directory after, so that a power
// loss leaves the old layer or the new one. A layer opened in mode 2 is
// updated in place
// (in_place_update.h), after converting it once into a raster that can be
// (an uncompressed GeoTIFF of the same cells, under the raster's own name)
// when it is not one; Close commits the update, and the statistics kept
// with the layer follow it exactly. Destroying a writable layer without
// Close leaves the layer on disk as it was.
//
// Thread safety: none; the entry frame serialises every use.
#ifndef GRIDIO_LAYER_H_
#define GRIDIO_LAYER_H_

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cell_values.h"
#include "gdal_raster.h"
#include "grid_geometry.h"
#include "in_place_update.h"
#include "kept_stats.h"
#include "layer_location.h"
#include "partial_file.h"
#include "raw_file.h"
#include "rollback_journal.h"
#include "row_read_ahead.h"
#include "window_mapping.h"

namespace gridio {

class Layer {
 public:
  // Opens the layer in directory dir for reading (mode GIO_READ) or writing
  // (GIO_READWRITE). Throws GioError.
  static std::unique_ptr<Layer> Open(const std::string& dir, int mode);
  // Creates a layer of cell_type on grid in directory dir, every cell
  // missing, with the CRS crs_wkt (none when empty). Throws GioError.
  static std::unique_ptr<Layer> Create(const std::string& dir, int cell_type,
                                       const LayerGrid& grid, const std::string& crs_wkt);
  ~Layer();
  Layer(const Layer&) = delete;
  Layer& operator=(const Layer&) = delete;

  int cell_type() const { return info_.cell_type; }
  const LayerGrid& grid() const { return info_.grid; }
  // The GeoTIFF raster of an opened layer; empty for an ESRI grid.
  const std::string& raster() const { return raster_; }
  // The layer's CRS as WKT; empty when it has none.
  std::string crs() const;

  // Window row row of window into cells (window.cols cells); window_id
  // changes whenever the window does. Throws GioError.
  void ReadWindowRow(const WindowGrid& window, unsigned long window_id, int row, int32_t* cells);
  void ReadWindowRow(const WindowGrid& window, unsigned long window_id, int row, float* cells);
  // Writes window row row from cells of the layer's cell type. A failed
  // row read or write of a writable layer makes its Close fail without
  // committing: the writer cannot know what it would commit.
  void WriteWindowRow(const WindowGrid& window, unsigned long window_id, int row,
                      const void* cells);

  // Layer columns [first, first + count) of layer row row, in the layer's
  // cell class, nodata turned into the markers.
  template <typename T>
  void ReadLayerSpan(int row, int first, int count, T* cells);

  // Flushes, and for a writable layer commits; the layer is closed however
  // it ends. GIO_OK or GIO_ERR_WRITE (the layer on disk then is unchanged).
  int Close();

 private:
  Layer() = default;

  static std::unique_ptr<Layer> OpenForUpdate(const LayerLocation& location);
  void OpenDataset(const LayerLocation& location);
  // Whether the raster as it stands can be updated in place.
  bool PrepareUpdate();
  int CloseUpdate();
  // Writes the pending rows of an update, noting the rows it changes for
  // the layer's kept statistics (dropped from disk before the first change).
  // The dataset must be opened again before it is read.
  void FlushPending();
  void StoreUpdatedStats();

  // Runs work; an exception out of it marks a writable layer failed.
  template <typename Work>
  void FailingCommit(Work&& work);
  const WindowMapping& MappingFor(const WindowGrid& window, unsigned long window_id);
  template <typename T>
  void ReadRaw(int row, int first, int count, T* cells);
  template <typename T>
  void ReadFromDataset(int row, int first, int count, T* cells);
  template <typename T>
  void WriteRaw(int row, int first, int count, const T* cells);
  template <typename Native, typename Out>
  void ReadMapped(const WindowMapping& mapping, int layer_row, Out* cells);
  template <typename Native>
  void WriteMapped(const WindowMapping& mapping, int layer_row, const Native* cells);
  template <typename Native>
  std::vector<Native>& RowBuffer();
  // An update's copy of the row being written, as it is to be.
  template <typename T>
  std::vector<T>& UpdateRow();
  // Called before every raster access of layer row row. When the access
  // leaves the span of block rows the cache may hold (some 64 KiB, at least
  // one block row), the band's cached blocks are dropped (written first when
  // dirty) and a new span starts at row's block row. A layer read or written
  // row by row then keeps a few blocks in GDAL's cache instead of the whole
  // raster, and their memory is reused instead of growing the process heap
  // (fresh pages cost a fault each); dropping them once per span rather
  // than per block row keeps down GDAL's flush, which visits every block of
  // the band. Throws GioError (GIO_ERR_WRITE) when dirty blocks cannot be
  // written.
  void EnterBlockRow(int row);
  void SetBlockRows();
  // Called for every full-width row read from GDAL: once a reader has gone
  // down the first rows of a compressed, read-only layer one by one, starts
  // a read-ahead for the rest (see row_read_ahead.h), where it is worth it.
  void NoteRowRead(int row, int first, int count);
  // Called for every span of a row written to a created layer.
  void NoteRowWritten(int count);

  Dataset dataset_;
  GDALRasterBandH band_ = nullptr;
  RasterInfo info_;
  NodataRule nodata_;
  bool writable_ = false;
  std::string raster_;
  // Read-only GeoTIFF layers: where the raster is, and whether it is
  // compressed.
  LayerLocation read_location_;
  bool compressed_ = false;
  // Rows read one after the other from row 0, the last of them, and the
  // read-ahead once started (tried once per layer).
  int sequential_rows_ = 0;
  int last_row_ = -1;
  bool read_ahead_tried_ = false;
  std::unique_ptr<RowReadAhead> read_ahead_;
  bool write_failed_ = false;  // writable: blocks were lost, Close must not commit
  // Opened in mode 2: the update, and the statistics kept with the layer
  // before it (when there were any) with the rows it changed.
  std::unique_ptr<InPlaceUpdate> update_;
  LayerLocation update_location_;
  bool stats_checked_ = false;
  bool stats_kept_ = false;
  KeptStats stats_before_;
  std::set<int> changed_rows_;
  // Created: the file being written, where Close puts it, and an older
  // raster of another name that the commit supersedes.
  std::unique_ptr<PartialFile> partial_;
  std::string target_file_;
  std::string replaced_file_;
  // Created over an existing raster: that raster, open to hold its
  // writers' turn (rollback_journal.h) until the new one has replaced it,
  // so that no in-place writer of the layer commits into a raster the
  // replacement then unlinks.
  RawFile replaced_raster_;
  std::unique_ptr<RollbackJournal> replaced_turn_;
  long long unwritten_bytes_ = 0;  // written since the last write-back started

  WindowMapping mapping_;
  unsigned long mapping_window_id_ = 0;
  bool has_mapping_ = false;
  std::vector<int32_t> int_row_;
  std::vector<float> float_row_;
  std::vector<int32_t> update_int_row_;
  std::vector<float> update_float_row_;
  // The layer row whose span RowBuffer holds for sampled reads, or -1.
  int buffered_row_ = -1;
  // Rows per block of the band, block rows per cached span, and the first
  // block row of the current span (-1: none yet).
  int block_rows_ = 1;
  int span_block_rows_ = 1;
  int span_start_ = -1;
};

}  // namespace gridio

#endif  // GRIDIO_LAYER_H_
