// Reading a compressed layer on two cores. Decoding the strips of an LZW or
// deflate GeoTIFF costs several times more than moving its cells, so while a
// reader goes down a layer row by row, a second thread decodes chunks of
// rows ahead of it from its own dataset on the same file.
//
// Chunks are counted from the row the read-ahead starts at: chunk c holds
// rows [start + c * chunk_rows, start + (c + 1) * chunk_rows). The worker
// claims the odd chunks beyond the reader's in order, decodes each into one
// of a few slots, and waits while they are all full; a slot is freed when
// the reader asks for a row of a later chunk. The even chunks, and any the
// worker has not claimed, are the reader's to read itself, so the two
// decode about half each. A row the worker cannot supply (not claimed, its
// open or a read failed, the reader went back to a chunk already freed) is
// left to the reader, so what the reader gets never depends on the worker.
//
// The worker keeps GDAL quiet and writes no side files, like every entry
// point; it runs only GDAL code, never the host's. Destroying the read-ahead
// stops the worker at its next chunk and waits for it.
//
// Thread safety: Take is called by one reader thread.
#ifndef GRIDIO_ROW_READ_AHEAD_H_
#define GRIDIO_ROW_READ_AHEAD_H_

#include <gdal.h>

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "layer_location.h"

namespace gridio {

class RowReadAhead {
 public:
  // Starts the worker over location's raster of rows x cols cells, read as
  // type (4-byte cells), from row start on in chunks of chunk_rows rows,
  // holding at most slots chunks decoded ahead. Throws std::system_error
  // when no thread can be started, std::bad_alloc without memory.
  RowReadAhead(const LayerLocation& location, int rows, int cols, GDALDataType type, int start,
               int chunk_rows, int slots);
  ~RowReadAhead();
  RowReadAhead(const RowReadAhead&) = delete;
  RowReadAhead& operator=(const RowReadAhead&) = delete;

  // Columns [first, first + count) of row into cells when the worker has
  // claimed the row's chunk, waiting for it to finish the chunk; false when
  // the reader must read the row itself.
  bool Take(int row, int first, int count, void* cells);

 private:
  struct Slot {
    int chunk = -1;  // the chunk it holds, or -1 when free
    bool ready = false;  // the chunk's rows are all there
    std::vector<unsigned char> cells;
  };

  void Work();
  // Work's loop; throws what GDAL's C++ side or the allocator throws.
  void Decode();
  int ChunkOf(int row) const { return (row - start_) / chunk_rows_; }
  int FirstRowOf(int chunk) const { return start_ + chunk * chunk_rows_; }
  // Frees every slot of a chunk before chunk; mutex_ held. False when
  // chunk is no further than before.
  bool FreeBefore(int chunk);

  const LayerLocation location_;
  const int rows_;
  const int cols_;
  const GDALDataType type_;
  const int start_;
  const int chunk_rows_;
  const std::size_t row_bytes_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Slot> slots_;
  int next_chunk_;    // the worker claims no chunk before this one
  int reader_chunk_;  // the chunk of the reader's latest row (-1: none yet)
  int freed_before_;  // chunks before this one are no longer kept
  bool failed_ = false;
  bool stop_ = false;
  std::thread worker_;
};

}  // namespace gridio

#endif  // GRIDIO_ROW_READ_AHEAD_H_
