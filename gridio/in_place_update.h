// Cells written into a layer's raster where they lie, atomically per
// update: the span of each row that differs from the layer waits in
// memory, and a flush writes only the bytes that changed (cells of rows
// never written, and unchanged cells of rows written, are not touched),
// after journaling the bytes it overwrites (rollback_journal.h). Blocks a sparse raster has
// never held are appended at its end and entered in its block table; a
// rollback cuts them off again.
//
// The raster is a plain TIFF (tiff_layout.h); cells move in the layer's
// cell class (int32_t or float, 4 bytes), converted to the file's sample
// type and byte order as GDAL converts them.
//
// Ownership: owns the raster's file and its journal, and so the layer's
// writer lock, until Commit, RollBack or destruction (which rolls back).
// Thread safety: none; used under the library lock.
#ifndef GRIDIO_IN_PLACE_UPDATE_H_
#define GRIDIO_IN_PLACE_UPDATE_H_

#include <gdal.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "raw_file.h"
#include "rollback_journal.h"
#include "tiff_layout.h"

namespace gridio {

class InPlaceUpdate {
 public:
  // Opens raster for writing and becomes its writer (see RollbackJournal).
  // Throws GioError (GIO_ERR_OPEN, GIO_ERR_WRITE).
  explicit InPlaceUpdate(const std::string& raster);
  ~InPlaceUpdate();
  InPlaceUpdate(const InPlaceUpdate&) = delete;
  InPlaceUpdate& operator=(const InPlaceUpdate&) = delete;

  // Reads the raster's layout; true when its cells can be changed in
  // place: a plain TIFF of width x height samples of file_type in blocks of
  // block_cols x block_rows, as GDAL sees it. fill is the value of cells of
  // blocks never written (the nodata value, else 0). Throws GioError
  // (GIO_ERR_OPEN) when the raster cannot be read.
  bool Prepare(GDALDataType file_type, GDALDataType cell_type, int width, int height,
               int block_cols, int block_rows, double fill);
  // After the raster was replaced at its path (converted for update).
  void ReopenRaster();

  // Makes cells [lo, hi) of full_row (a whole layer row of the cell class,
  // as it is to be) pending for layer row row; with cells already pending
  // for the row, the span grows to cover both and takes full_row's cells.
  void SetPending(int row, int lo, int hi, const void* full_row);
  // Whether row has pending cells.
  bool IsPending(int row) const { return pending_.count(row) != 0; }
  // Puts row's pending cells among cells [first, first + count) of a row
  // read from the raster.
  void OverlayPending(int row, int first, int count, void* cells) const;
  uint64_t pending_bytes() const { return pending_bytes_; }
  // Calls f(row) for every pending row, in row order.
  template <typename F>
  void ForEachPending(F f) const {
    for (const auto& entry : pending_) f(entry.first);
  }

  // Writes the pending rows into the raster, journal first, and forgets
  // them. Throws GioError(GIO_ERR_WRITE); the update must then be rolled
  // back.
  void Flush();
  // Flushes, forces the raster's changes to the disk and removes the
  // journal: the update is done. Throws GioError(GIO_ERR_WRITE).
  void Commit();
  // Undoes everything flushed; false when the raster could not be
  // restored (its journal then stays for the next open).
  bool RollBack();
  // Whether any byte of the raster was written.
  bool wrote() const { return wrote_; }

 private:
  struct Pending {
    int lo = 0, hi = 0;               // columns to be written
    std::vector<unsigned char> cells;  // their values, from column lo
  };
  struct Write {
    uint64_t at;
    std::vector<unsigned char> bytes;
  };
  void Encode(const unsigned char* cells, int count, unsigned char* out) const;
  void EncodeEntry(uint64_t value, int width, unsigned char* out) const;
  bool IsFill(const unsigned char* bytes, size_t size) const;
  using PendingEntry = std::pair<const int, Pending>;
  void PlanBlockRow(uint32_t block_row, const std::vector<const PendingEntry*>& rows,
                    JournalSegment* segment, std::vector<Write>* writes,
                    std::map<uint32_t, std::vector<unsigned char>>* new_blocks);
  static void AddWrite(std::vector<Write>* writes, uint64_t at, const unsigned char* bytes,
                       size_t size);
  void PlanNewBlocks(std::map<uint32_t, std::vector<unsigned char>>* new_blocks,
                     JournalSegment* segment, std::vector<Write>* writes,
                     std::vector<Write>* entries);

  std::string raster_;
  RawFile file_;
  std::unique_ptr<RollbackJournal> journal_;
  TiffLayout layout_;
  GDALDataType file_type_ = GDT_Unknown;
  GDALDataType cell_type_ = GDT_Unknown;
  std::vector<unsigned char> fill_;  // one sample of the fill value, as stored
  uint64_t pending_bytes_ = 0;
  uint64_t original_size_ = 0;
  uint64_t end_ = 0;  // where the next new block goes
  std::map<int, Pending> pending_;
  bool wrote_ = false;
};

}  // namespace gridio

#endif  // GRIDIO_IN_PLACE_UPDATE_H_
