// Where the cells of a plain GeoTIFF lie in its file: the block grid and
// the table of block offsets and byte counts, read straight from the file's
// first directory. Only what updating cells in place needs is read; GDAL
// stays the reader of everything else (geometry, nodata, data type).
//
// A value; built by ReadTiffLayout, then kept current by its owner as
// blocks are added.
#ifndef GRIDIO_TIFF_LAYOUT_H_
#define GRIDIO_TIFF_LAYOUT_H_

#include <cstdint>
#include <cstring>
#include <vector>

#include "raw_file.h"

namespace gridio {

inline bool HostIsLittleEndian() {
  const uint16_t one = 1;
  unsigned char first;
  std::memcpy(&first, &one, 1);
  return first == 1;
}

struct TiffLayout {
  bool swapped = false;  // the file's byte order is not this machine's
  bool big_tiff = false;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t block_cols = 0;  // a tile's width, or the image width for strips
  uint32_t block_rows = 0;  // a tile's height, or the rows per strip
  uint32_t blocks_across = 0;
  uint32_t blocks_down = 0;
  int sample_bytes = 0;
  // Per block, row of blocks first: where its cells start, and its byte
  // count (0: never written, read as nodata).
  std::vector<uint64_t> offsets;
  std::vector<uint64_t> counts;
  // Where the two tables lie in the file and the width of their entries,
  // so that a new block can be entered in place.
  uint64_t offsets_at = 0;
  uint64_t counts_at = 0;
  int offset_width = 0;
  int count_width = 0;

  uint32_t BlockIndex(uint32_t block_row, uint32_t block_col) const {
    return block_row * blocks_across + block_col;
  }
  // Rows the block row holds (the last strip may be short).
  uint32_t RowsIn(uint32_t block_row) const;
  // Bytes of a complete block of block row block_row.
  uint64_t BlockBytes(uint32_t block_row) const;
  // Byte offset of layer cell (row, col) inside its block.
  uint64_t OffsetInBlock(uint32_t row, uint32_t col) const;
};

// Fills layout when file (of file_size bytes) is a TIFF whose cells can be
// changed in place: one image (no further directory), one uncompressed
// sample per cell of 8, 16, 32 or 64 bits, every written block exactly its
// full size and inside the file, every block clear of the header, the
// directory, every field's data and every other block, no GDAL structural
// metadata (whose block checksums a change would break). False otherwise,
// also for a file that is not a TIFF at all or is damaged.
bool ReadTiffLayout(const RawFile& file, uint64_t file_size, TiffLayout* layout);

}  // namespace gridio

#endif  // GRIDIO_TIFF_LAYOUT_H_
