// The rollback journal of a layer updated in place, after SQLite's: before
// the first byte of a layer's raster changes, the bytes about to be
// overwritten are appended to a journal beside it and forced to the disk;
// the raster's own writes are forced to the disk before the journal is
// removed, and removing it is the commit. A journal found on any later
// open ("hot": no live writer holds it) is played backwards into the
// raster, which so returns to its state before the interrupted writer
// opened it. The journal's removal is forced to the disk too, so a close
// that returned is not undone by a power loss.
//
// The journal file is also the writers' lock: a writer holds an exclusive
// lock on it from open to close, so writers of one layer (in any process)
// take turns, and a journal whose lock is free belongs to a dead writer.
//
// File: ".<raster name>.gridio-journal" beside the raster. A header names
// the raster (file name, device, inode) and its size before the update;
// then segments of (offset, old bytes) records, each closed by a checksum,
// one per flush. A segment cut short by a kill was never followed by a
// write to the raster, so it and anything after it are ignored.
//
// Thread safety: none; used under the library lock.
#ifndef GRIDIO_ROLLBACK_JOURNAL_H_
#define GRIDIO_ROLLBACK_JOURNAL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "raw_file.h"

namespace gridio {

// The journal file of raster.
std::string JournalPathFor(const std::string& raster);
// The raster whose journal is at path; empty when path names no journal.
std::string RasterOfJournal(const std::string& path);

// The old bytes of the ranges a flush is about to overwrite.
class JournalSegment {
 public:
  void Add(uint64_t offset, const void* old_bytes, uint64_t size);
  bool empty() const { return records_ == 0; }
  void Clear();

 private:
  friend class RollbackJournal;
  std::vector<unsigned char> bytes_;
  uint32_t records_ = 0;
  size_t last_record_ = 0;  // where the last record starts in bytes_
  uint64_t last_end_ = 0;   // the raster offset just past it
};

class RollbackJournal {
 public:
  // Becomes the writer of raster: waits up to a bounded time for another
  // process's writer, then opens raster as file (in mode, which file must
  // outlive this) and rolls back a hot journal. The raster is opened only
  // once the lock is held, so a writer that waited for a whole-layer
  // replacement updates the new raster, not the one it replaced. file may
  // be reopened on another raster at the same path before the first
  // Append (a layer converted for update). Throws GioError: GIO_ERR_OPEN
  // when another writer keeps the layer (in this process at once, in
  // another after the wait), the raster is gone or no journal can be made,
  // GIO_ERR_WRITE when a hot journal cannot be played back.
  RollbackJournal(const std::string& raster, RawFile& file, RawFile::Mode mode);
  ~RollbackJournal();
  RollbackJournal(const RollbackJournal&) = delete;
  RollbackJournal& operator=(const RollbackJournal&) = delete;

  // Appends segment and forces it (with the journal's header and directory
  // entry, the first time) to the disk. Throws GioError(GIO_ERR_WRITE).
  void Append(const JournalSegment& segment);
  // Whether anything was journaled (and so may have changed in the raster).
  bool started() const { return started_; }

  // The commit: the caller has forced the raster's writes to the disk.
  // Removes the journal, forces its directory (so that a power loss cannot
  // bring the journal back and undo the update) and lets the next writer
  // in. False when the journal cannot be removed (the writes then stay
  // undone on next open).
  bool Commit();
  // Plays the journal back into the raster and removes it. False when the
  // raster could not be restored (the journal stays, hot, for the next open).
  bool RollBack();

 private:
  void Release();

  std::string raster_;
  std::string path_;
  RawFile& file_;
  RawFile journal_;
  uint64_t end_ = 0;
  bool started_ = false;
  bool held_ = false;
};

// The hot-journal check of every open: when raster has a journal that no
// live writer holds, plays it back (or drops it when it belongs to a file
// no longer there). Failures leave the journal for the next open.
void RecoverLayer(const std::string& raster);

}  // namespace gridio

#endif  // GRIDIO_ROLLBACK_JOURNAL_H_
