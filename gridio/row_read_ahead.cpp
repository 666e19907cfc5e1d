#include "row_read_ahead.h"

#include <algorithm>
#include <cstring>

#include "entry_frame.h"
#include "gdal_raster.h"

namespace gridio {

RowReadAhead::RowReadAhead(const LayerLocation& location, int rows, int cols, GDALDataType type,
                           int start, int chunk_rows, int slots)
    : location_(location),
      rows_(rows),
      cols_(cols),
      type_(type),
      start_(start),
      chunk_rows_(chunk_rows),
      row_bytes_(static_cast<std::size_t>(cols) * 4),
      slots_(static_cast<std::size_t>(slots)),
      next_chunk_(1),
      reader_chunk_(-1),
      freed_before_(0) {
  for (Slot& slot : slots_) slot.cells.resize(row_bytes_ * static_cast<std::size_t>(chunk_rows));
  worker_ = std::thread([this] { Work(); });
}

RowReadAhead::~RowReadAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

bool RowReadAhead::FreeBefore(int chunk) {
  if (chunk <= freed_before_) return false;
  freed_before_ = chunk;
  for (Slot& slot : slots_)
    if (slot.chunk >= 0 && slot.chunk < chunk) {
      slot.chunk = -1;
      slot.ready = false;
    }
  return true;
}

bool RowReadAhead::Take(int row, int first, int count, void* cells) {
  if (row < start_ || row >= rows_) return false;
  const int chunk = ChunkOf(row);
  std::unique_lock<std::mutex> lock(mutex_);
  // The worker waits on either: a freed slot, or a reader further on.
  if (FreeBefore(chunk) || chunk > reader_chunk_) {
    reader_chunk_ = std::max(reader_chunk_, chunk);
    changed_.notify_all();
  }
  Slot* slot = nullptr;
  for (Slot& s : slots_)
    if (s.chunk == chunk) slot = &s;
  if (slot == nullptr) return false;
  changed_.wait(lock, [&] { return failed_ || stop_ || slot->ready; });
  if (!slot->ready || slot->chunk != chunk) return false;
  const std::size_t offset =
      static_cast<std::size_t>(row - FirstRowOf(chunk)) * row_bytes_ +
      static_cast<std::size_t>(first) * 4;
  std::memcpy(cells, slot->cells.data() + offset, static_cast<std::size_t>(count) * 4);
  return true;
}

void RowReadAhead::Work() {
  // Nothing may leave the thread: the host would be terminated.
  try {
    Decode();
  } catch (...) {
    std::lock_guard<std::mutex> lock(mutex_);
    failed_ = true;
  }
  changed_.notify_all();
}

void RowReadAhead::Decode() {
  QuietGdalScope quiet;
  Dataset dataset = OpenRaster(location_, false);
  GDALRasterBandH band =
      dataset ? GDALGetRasterBand(static_cast<GDALDatasetH>(dataset.get()), 1) : nullptr;
  std::unique_lock<std::mutex> lock(mutex_);
  if (band == nullptr) {
    failed_ = true;
    changed_.notify_all();
    return;
  }
  for (;;) {
    Slot* slot = nullptr;
    changed_.wait(lock, [&] {
      if (stop_) return true;
      for (Slot& s : slots_)
        if (s.chunk < 0) slot = &s;
      return slot != nullptr;
    });
    if (stop_) return;
    // The odd chunks, and only those beyond the reader: a chunk it has
    // reached is its own.
    const int chunk = std::max(next_chunk_, reader_chunk_ + 1) | 1;
    const int first_row = FirstRowOf(chunk);
    if (first_row >= rows_) return;
    next_chunk_ = chunk + 1;
    slot->chunk = chunk;
    slot->ready = false;
    const int count = std::min(chunk_rows_, rows_ - first_row);
    lock.unlock();
    // The slot's storage never moves and only this thread writes it; the
    // reader reads it only once it is marked ready.
    const bool read = GDALRasterIO(band, GF_Read, 0, first_row, cols_, count, slot->cells.data(),
                                   cols_, count, type_, 0, 0) == CE_None;
    GDALFlushRasterCache(band);
    lock.lock();
    if (!read) {
      failed_ = true;
      changed_.notify_all();
      return;
    }
    // Freed meanwhile (the reader went past it): the slot stays free.
    if (slot->chunk == chunk) slot->ready = true;
    changed_.notify_all();
  }
}

}  // namespace gridio
