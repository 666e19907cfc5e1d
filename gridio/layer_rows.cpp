#include <algorithm>
#include <cstring>
#include <type_traits>

#include "avgridio.h"
#include "gio_error.h"
#include "layer.h"

namespace gridio {

namespace {

template <typename T>
constexpr GDALDataType GdalTypeOf() {
  return std::is_same<T, int32_t>::value ? GDT_Int32 : GDT_Float32;
}

// Below glibc's default trim threshold (128 KiB), so that the freed blocks
// stay with the process for the next span.
constexpr long long kCachedBlockBytes = 64 << 10;

// Rows of an update wait in memory up to this many bytes before they are
// written into the raster.
constexpr uint64_t kPendingBytes = 16 << 20;

// The read-ahead: started after this many rows read in order from row 0,
// in chunks of at least kReadAheadRows rows, kReadAheadSlots of them decoded
// ahead, all within kReadAheadBytes.
constexpr int kRowsBeforeReadAhead = 8;
constexpr int kReadAheadRows = 32;
constexpr int kReadAheadSlots = 3;
constexpr long long kReadAheadBytes = 24 << 20;

// A replacement starts writing its file out after each this many bytes.
constexpr long long kWriteBackBytes = 8 << 20;

}  // namespace

void Layer::SetBlockRows() {
  int block_cols = 0;
  int block_rows = 0;
  GDALGetBlockSize(band_, &block_cols, &block_rows);
  block_rows_ = block_rows > 0 ? block_rows : 1;
  const long long row_bytes = static_cast<long long>(info_.grid.cols > 0 ? info_.grid.cols : 1) *
                              block_rows_ * static_cast<long long>(sizeof(float));
  const long long span = kCachedBlockBytes / row_bytes;
  span_block_rows_ = span > 1 ? static_cast<int>(span) : 1;
  span_start_ = -1;
}

void Layer::EnterBlockRow(int row) {
  const int block_row = row / block_rows_;
  if (span_start_ < 0) {
    span_start_ = block_row;
    return;
  }
  if (block_row >= span_start_ && block_row - span_start_ < span_block_rows_) return;
  if (GDALFlushRasterCache(band_) != CE_None) {
    span_start_ = -1;
    // Blocks that did not reach the file are lost: this layer may no
    // longer be committed.
    if (writable_) write_failed_ = true;
    Fail(GIO_ERR_WRITE);
  }
  // A reader going up the layer (a south-up raster read through a window)
  // gets the span below it, so that it too flushes once per span.
  span_start_ = block_row >= span_start_ ? block_row : std::max(0, block_row - span_block_rows_ + 1);
}

void Layer::NoteRowWritten(int count) {
  // Only a replacement is forced at its close; its pages are sent on their
  // way meanwhile, so that the close's fsync finds most of them written.
  if (!partial_ || !replaced_turn_) return;
  unwritten_bytes_ += static_cast<long long>(count) * 4;
  if (unwritten_bytes_ < kWriteBackBytes) return;
  unwritten_bytes_ = 0;
  partial_->StartWriteBack();
}

void Layer::NoteRowRead(int row, int first, int count) {
  const int cols = info_.grid.cols;
  if (first != 0 || count != cols) return;
  sequential_rows_ = row == last_row_ + 1 && (row == 0 || sequential_rows_ > 0)
                         ? sequential_rows_ + 1
                         : (row == 0 ? 1 : 0);
  last_row_ = row;
  if (read_ahead_tried_ || !compressed_ || sequential_rows_ < kRowsBeforeReadAhead) return;
  read_ahead_tried_ = true;
  // Chunks of whole blocks, at least kReadAheadRows rows.
  const int chunk_rows = (kReadAheadRows + block_rows_ - 1) / block_rows_ * block_rows_;
  const long long slot_bytes = static_cast<long long>(chunk_rows) * cols * 4;
  const int start = row + 1;
  if (slot_bytes * kReadAheadSlots > kReadAheadBytes ||
      info_.grid.rows - start < 4 * chunk_rows) {
    return;
  }
  try {
    read_ahead_.reset(new RowReadAhead(read_location_, info_.grid.rows, cols,
                                       cell_type() == GIO_CELLINT ? GDT_Int32 : GDT_Float32, start,
                                       chunk_rows, kReadAheadSlots));
  } catch (...) {
    // No thread or no memory: the reader goes on alone.
  }
}

template <typename T>
void Layer::ReadRaw(int row, int first, int count, T* cells) {
  if (count <= 0) return;
  if (update_ && update_->IsPending(row)) {
    ReadFromDataset(row, first, count, cells);
    update_->OverlayPending(row, first, count, cells);
    return;
  }
  ReadFromDataset(row, first, count, cells);
}

template <typename T>
void Layer::ReadFromDataset(int row, int first, int count, T* cells) {
  if (read_ahead_ && read_ahead_->Take(row, first, count, cells)) return;
  NoteRowRead(row, first, count);
  EnterBlockRow(row);
  if (GDALRasterIO(band_, GF_Read, first, row, count, 1, cells, count, 1, GdalTypeOf<T>(), 0, 0) !=
      CE_None) {
    Fail(GIO_ERR_READ);
  }
}

template <>
std::vector<int32_t>& Layer::UpdateRow<int32_t>() {
  return update_int_row_;
}
template <>
std::vector<float>& Layer::UpdateRow<float>() {
  return update_float_row_;
}

template <typename T>
void Layer::WriteRaw(int row, int first, int count, const T* cells) {
  if (count <= 0) return;
  if (update_) {
    try {
      // Only the span that differs from the row as it stands waits.
      std::vector<T>& now = UpdateRow<T>();
      now.resize(info_.grid.cols);
      ReadRaw(row, 0, info_.grid.cols, now.data());
      int lo = 0, hi = count;
      while (lo < hi && std::memcmp(&now[first + lo], &cells[lo], sizeof(T)) == 0) ++lo;
      if (lo == hi) return;
      while (std::memcmp(&now[first + hi - 1], &cells[hi - 1], sizeof(T)) == 0) --hi;
      std::memcpy(now.data() + first + lo, cells + lo, sizeof(T) * (hi - lo));
      update_->SetPending(row, first + lo, first + hi, now.data());
      if (update_->pending_bytes() >= kPendingBytes) {
        FlushPending();
        // GDAL's handle and cached blocks may still hold the raster as it was.
        OpenDataset(update_location_);
      }
    } catch (...) {
      // Rows of this update are lost: it may no longer be committed.
      write_failed_ = true;
      throw;
    }
    return;
  }
  EnterBlockRow(row);
  NoteRowWritten(count);
  // GDAL only reads the buffer of a write.
  if (GDALRasterIO(band_, GF_Write, first, row, count, 1, const_cast<T*>(cells), count, 1,
                   GdalTypeOf<T>(), 0, 0) != CE_None) {
    Fail(GIO_ERR_WRITE);
  }
}

template <typename T>
void Layer::ReadLayerSpan(int row, int first, int count, T* cells) {
  ReadRaw(row, first, count, cells);
  nodata_.ToMarkers(cells, count);
}

template void Layer::ReadLayerSpan<int32_t>(int, int, int, int32_t*);
template void Layer::ReadLayerSpan<float>(int, int, int, float*);

template <>
std::vector<int32_t>& Layer::RowBuffer<int32_t>() {
  return int_row_;
}
template <>
std::vector<float>& Layer::RowBuffer<float>() {
  return float_row_;
}

const WindowMapping& Layer::MappingFor(const WindowGrid& window, unsigned long window_id) {
  if (!has_mapping_ || mapping_window_id_ != window_id) {
    mapping_ = WindowMapping(window, info_.grid);
    mapping_window_id_ = window_id;
    has_mapping_ = true;
    buffered_row_ = -1;
  }
  return mapping_;
}

template <typename Native, typename Out>
void Layer::ReadMapped(const WindowMapping& mapping, int layer_row, Out* cells) {
  std::vector<Native>& buffer = RowBuffer<Native>();
  if (mapping.aligned()) {
    const int first = mapping.first_col();
    const int count = mapping.end_col() - first;
    std::fill(cells, cells + first, Marker<Out>());
    std::fill(cells + mapping.end_col(), cells + mapping.window_cols(), Marker<Out>());
    if (count <= 0) return;
    const int layer_col = first + mapping.col_offset();
    if constexpr (std::is_same<Native, Out>::value) {
      // Straight from GDAL into the caller's row.
      ReadLayerSpan(layer_row, layer_col, count, cells + first);
    } else {
      buffered_row_ = -1;
      buffer.resize(count);
      ReadLayerSpan(layer_row, layer_col, count, buffer.data());
      for (int i = 0; i < count; ++i) cells[first + i] = ConvertCell<Native, Out>(buffer[i]);
    }
    return;
  }
  const int first = mapping.first_layer_col();
  const int count = mapping.end_layer_col() - first;
  // Finer windows sample one layer row several times in a row.
  if (buffered_row_ != layer_row) {
    buffered_row_ = -1;
    buffer.resize(count);
    ReadLayerSpan(layer_row, first, count, buffer.data());
    buffered_row_ = layer_row;
  }
  const std::vector<int>& col_map = mapping.col_map();
  for (size_t c = 0; c < col_map.size(); ++c)
    cells[c] =
        col_map[c] < 0 ? Marker<Out>() : ConvertCell<Native, Out>(buffer[col_map[c] - first]);
}

template <typename Native>
void Layer::WriteMapped(const WindowMapping& mapping, int layer_row, const Native* cells) {
  std::vector<Native>& buffer = RowBuffer<Native>();
  if (mapping.aligned()) {
    const int first = mapping.first_col();
    const int count = mapping.end_col() - first;
    if (count <= 0) return;
    const int layer_col = first + mapping.col_offset();
    if (nodata_.WritesMarkersAsIs(Native())) {
      WriteRaw(layer_row, layer_col, count, cells + first);
      return;
    }
    buffer.resize(count);
    for (int i = 0; i < count; ++i) buffer[i] = nodata_.FromMarker(cells[first + i]);
    WriteRaw(layer_row, layer_col, count, buffer.data());
    return;
  }
  const int first = mapping.first_layer_col();
  const int count = mapping.end_layer_col() - first;
  if (count <= 0) return;
  // Layer cells between the sampled ones keep their stored values.
  buffer.resize(count);
  ReadRaw(layer_row, first, count, buffer.data());
  const std::vector<int>& col_map = mapping.col_map();
  for (size_t c = 0; c < col_map.size(); ++c)
    if (col_map[c] >= 0) buffer[col_map[c] - first] = nodata_.FromMarker(cells[c]);
  WriteRaw(layer_row, first, count, buffer.data());
}

namespace {

template <typename Out>
void FillMissing(Out* cells, int count) {
  std::fill(cells, cells + count, Marker<Out>());
}

}  // namespace

template <typename Work>
void Layer::FailingCommit(Work&& work) {
  try {
    work();
  } catch (...) {
    if (writable_) write_failed_ = true;
    throw;
  }
}

void Layer::ReadWindowRow(const WindowGrid& window, unsigned long window_id, int row,
                          int32_t* cells) {
  FailingCommit([&] {
    const WindowMapping& mapping = MappingFor(window, window_id);
    const int layer_row = mapping.LayerRow(row);
    if (layer_row < 0) return FillMissing(cells, window.cols);
    if (cell_type() == GIO_CELLINT)
      ReadMapped<int32_t, int32_t>(mapping, layer_row, cells);
    else
      ReadMapped<float, int32_t>(mapping, layer_row, cells);
  });
}

void Layer::ReadWindowRow(const WindowGrid& window, unsigned long window_id, int row,
                          float* cells) {
  FailingCommit([&] {
    const WindowMapping& mapping = MappingFor(window, window_id);
    const int layer_row = mapping.LayerRow(row);
    if (layer_row < 0) return FillMissing(cells, window.cols);
    if (cell_type() == GIO_CELLINT)
      ReadMapped<int32_t, float>(mapping, layer_row, cells);
    else
      ReadMapped<float, float>(mapping, layer_row, cells);
  });
}

void Layer::WriteWindowRow(const WindowGrid& window, unsigned long window_id, int row,
                           const void* cells) {
  if (!writable_) Fail(GIO_ERR_READ_ONLY);
  FailingCommit([&] {
    const WindowMapping& mapping = MappingFor(window, window_id);
    const int layer_row = mapping.LayerRow(row);
    if (layer_row < 0) return;
    buffered_row_ = -1;
    if (cell_type() == GIO_CELLINT)
      WriteMapped(mapping, layer_row, static_cast<const int32_t*>(cells));
    else
      WriteMapped(mapping, layer_row, static_cast<const float*>(cells));
  });
}

}  // namespace gridio
