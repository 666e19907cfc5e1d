#include "in_place_update.h"

#include <algorithm>
#include <cstring>

#include "avgridio.h"
#include "gio_error.h"

namespace gridio {

namespace {

uint64_t MaxOfWidth(int width) { return width >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * width)) - 1; }

}  // namespace

InPlaceUpdate::InPlaceUpdate(const std::string& raster) : raster_(raster) {
  journal_.reset(new RollbackJournal(raster_, file_, RawFile::Mode::kReadWrite));
}

InPlaceUpdate::~InPlaceUpdate() {
  if (journal_) journal_->RollBack();
}

bool InPlaceUpdate::Prepare(GDALDataType file_type, GDALDataType cell_type, int width, int height,
                            int block_cols, int block_rows, double fill) {
  FileIdentity id;
  if (!file_.Identity(&id)) Fail(GIO_ERR_OPEN);
  TiffLayout layout;
  if (!ReadTiffLayout(file_, id.size, &layout) || GDALDataTypeIsComplex(file_type) ||
      layout.sample_bytes != GDALGetDataTypeSizeBytes(file_type) ||
      layout.width != static_cast<uint32_t>(width) ||
      layout.height != static_cast<uint32_t>(height) ||
      layout.block_cols != static_cast<uint32_t>(block_cols) ||
      layout.block_rows != static_cast<uint32_t>(block_rows) || layout.offset_width < 4 ||
      layout.BlockBytes(0) > MaxOfWidth(layout.count_width)) {
    return false;
  }
  layout_ = std::move(layout);
  file_type_ = file_type;
  cell_type_ = cell_type;
  fill_.assign(layout_.sample_bytes, 0);
  GDALCopyWords(&fill, GDT_Float64, 0, fill_.data(), file_type_, 0, 1);
  if (layout_.swapped) GDALSwapWords(fill_.data(), layout_.sample_bytes, 1, 0);
  original_size_ = end_ = id.size;
  return true;
}

void InPlaceUpdate::ReopenRaster() {
  if (!file_.Open(raster_, RawFile::Mode::kReadWrite)) Fail(GIO_ERR_OPEN);
}

void InPlaceUpdate::SetPending(int row, int lo, int hi, const void* full_row) {
  Pending& p = pending_[row];
  pending_bytes_ -= p.cells.size();
  if (!p.cells.empty()) {
    lo = std::min(lo, p.lo);
    hi = std::max(hi, p.hi);
  }
  p.lo = lo;
  p.hi = hi;
  const unsigned char* cells = static_cast<const unsigned char*>(full_row);
  p.cells.assign(cells + static_cast<size_t>(lo) * 4, cells + static_cast<size_t>(hi) * 4);
  pending_bytes_ += p.cells.size();
}

void InPlaceUpdate::OverlayPending(int row, int first, int count, void* cells) const {
  auto it = pending_.find(row);
  if (it == pending_.end()) return;
  const Pending& p = it->second;
  const int from = std::max(first, p.lo), to = std::min(first + count, p.hi);
  if (from >= to) return;
  std::memcpy(static_cast<unsigned char*>(cells) + static_cast<size_t>(from - first) * 4,
              p.cells.data() + static_cast<size_t>(from - p.lo) * 4,
              static_cast<size_t>(to - from) * 4);
}

void InPlaceUpdate::Encode(const unsigned char* cells, int count, unsigned char* out) const {
  GDALCopyWords(const_cast<unsigned char*>(cells), cell_type_, 4, out, file_type_,
                layout_.sample_bytes, count);
  if (layout_.swapped) GDALSwapWords(out, layout_.sample_bytes, count, layout_.sample_bytes);
}

void InPlaceUpdate::EncodeEntry(uint64_t value, int width, unsigned char* out) const {
  const bool little = HostIsLittleEndian() != layout_.swapped;
  for (int i = 0; i < width; ++i) {
    const int shift = little ? 8 * i : 8 * (width - 1 - i);
    out[i] = static_cast<unsigned char>(value >> shift);
  }
}

bool InPlaceUpdate::IsFill(const unsigned char* bytes, size_t size) const {
  const size_t sample = fill_.size();
  for (size_t i = 0; i < size; i += sample)
    if (std::memcmp(bytes + i, fill_.data(), sample) != 0) return false;
  return true;
}

// The writes of the pending rows of one block row: per block they cross,
// each row's bytes from the first to the last that differ from the file
// (journaled when they lie in the raster as it was), or a new block when
// the block was never written. The old bytes of a block are read at once
// for all the rows.
void InPlaceUpdate::PlanBlockRow(uint32_t block_row, const std::vector<const PendingEntry*>& rows,
                                 JournalSegment* segment, std::vector<Write>* writes,
                                 std::map<uint32_t, std::vector<unsigned char>>* new_blocks) {
  const size_t sample = static_cast<size_t>(layout_.sample_bytes);
  const uint32_t bw = layout_.block_cols;
  int lo = rows.front()->second.lo, hi = rows.front()->second.hi;
  std::vector<std::vector<unsigned char>> fresh(rows.size());
  for (size_t k = 0; k < rows.size(); ++k) {
    const Pending& p = rows[k]->second;
    lo = std::min(lo, p.lo);
    hi = std::max(hi, p.hi);
    if (p.lo >= p.hi) continue;
    fresh[k].resize(static_cast<size_t>(p.hi - p.lo) * sample);
    Encode(p.cells.data(), p.hi - p.lo, fresh[k].data());
  }
  std::vector<unsigned char> old;
  for (uint32_t bc = static_cast<uint32_t>(lo) / bw; bc * bw < static_cast<uint32_t>(hi); ++bc) {
    const uint32_t index = layout_.BlockIndex(block_row, bc);
    const bool allocated = layout_.counts[index] != 0;
    // Rows of this block row to look at, and the old bytes they span.
    size_t first = rows.size(), last = 0;
    for (size_t k = 0; k < rows.size(); ++k) {
      const Pending& p = rows[k]->second;
      if (p.lo < p.hi && static_cast<uint32_t>(p.lo) < (bc + 1) * bw &&
          static_cast<uint32_t>(p.hi) > bc * bw) {
        first = std::min(first, k);
        last = k;
      }
    }
    if (first == rows.size()) continue;
    const uint32_t row0 = static_cast<uint32_t>(rows[first]->first);
    const uint64_t base = layout_.OffsetInBlock(row0, bc * bw);
    if (allocated) {
      const uint64_t span = layout_.OffsetInBlock(rows[last]->first, bc * bw) - base + bw * sample;
      old.resize(std::min<uint64_t>(span, layout_.BlockBytes(block_row) - base));
      if (!file_.ReadAt(layout_.offsets[index] + base, old.data(), old.size())) Fail(GIO_ERR_WRITE);
    }
    for (size_t k = first; k <= last; ++k) {
      const int row = rows[k]->first;
      const Pending& p = rows[k]->second;
      const uint32_t c0 = std::max<uint32_t>(p.lo, bc * bw);
      const uint32_t c1 = std::min<uint32_t>(p.hi, (bc + 1) * bw);
      if (p.lo >= p.hi || c0 >= c1) continue;
      const unsigned char* bytes = fresh[k].data() + (c0 - p.lo) * sample;
      const size_t size = (c1 - c0) * sample;
      const uint64_t in_block = layout_.OffsetInBlock(row, c0);
      if (!allocated) {
        if (new_blocks->count(index) == 0 && IsFill(bytes, size)) continue;
        std::vector<unsigned char>& block = (*new_blocks)[index];
        if (block.empty()) {
          block.resize(layout_.BlockBytes(block_row));
          for (size_t i = 0; i < block.size(); i += sample)
            std::memcpy(block.data() + i, fill_.data(), sample);
        }
        std::memcpy(block.data() + in_block, bytes, size);
        continue;
      }
      const unsigned char* was = old.data() + (in_block - base);
      size_t from = 0;
      while (from < size && std::memcmp(was + from, bytes + from, sample) == 0) from += sample;
      if (from == size) continue;
      size_t to = size;
      while (std::memcmp(was + to - sample, bytes + to - sample, sample) == 0) to -= sample;
      const uint64_t at = layout_.offsets[index] + in_block + from;
      if (at < original_size_) segment->Add(at, was + from, to - from);
      AddWrite(writes, at, bytes + from, to - from);
    }
  }
}

void InPlaceUpdate::AddWrite(std::vector<Write>* writes, uint64_t at, const unsigned char* bytes,
                             size_t size) {
  // Rows whose changes meet in the file go out in one write.
  if (!writes->empty() && writes->back().at + writes->back().bytes.size() == at) {
    writes->back().bytes.insert(writes->back().bytes.end(), bytes, bytes + size);
    return;
  }
  writes->push_back(Write{at, std::vector<unsigned char>(bytes, bytes + size)});
}

// New blocks go, one after the other, at the raster's end; their entries
// in the block table are journaled and written after every cell.
void InPlaceUpdate::PlanNewBlocks(std::map<uint32_t, std::vector<unsigned char>>* new_blocks,
                                  JournalSegment* segment, std::vector<Write>* writes,
                                  std::vector<Write>* entries) {
  const uint64_t offset_limit = layout_.big_tiff ? ~uint64_t{0} : 0xffffffffULL;
  for (auto& block : *new_blocks) {
    const uint32_t index = block.first;
    const uint64_t size = block.second.size();
    if (end_ > offset_limit || offset_limit - end_ < size || size > MaxOfWidth(layout_.count_width))
      Fail(GIO_ERR_WRITE);
    const uint64_t entry_at[2] = {layout_.offsets_at + uint64_t{index} * layout_.offset_width,
                                  layout_.counts_at + uint64_t{index} * layout_.count_width};
    const int width[2] = {layout_.offset_width, layout_.count_width};
    const uint64_t value[2] = {end_, size};
    for (int k = 0; k < 2; ++k) {
      unsigned char old[8], fresh[8];
      if (!file_.ReadAt(entry_at[k], old, width[k])) Fail(GIO_ERR_WRITE);
      segment->Add(entry_at[k], old, width[k]);
      EncodeEntry(value[k], width[k], fresh);
      entries->push_back(Write{entry_at[k], std::vector<unsigned char>(fresh, fresh + width[k])});
    }
    writes->push_back(Write{end_, std::move(block.second)});
    layout_.offsets[index] = end_;
    layout_.counts[index] = size;
    end_ += size;
  }
}

void InPlaceUpdate::Flush() {
  if (pending_.empty()) return;
  JournalSegment segment;
  std::vector<Write> writes, entries;
  std::map<uint32_t, std::vector<unsigned char>> new_blocks;
  const TiffLayout before = layout_;
  const uint64_t end_before = end_;
  try {
    std::vector<const PendingEntry*> rows;
    for (auto it = pending_.begin(); it != pending_.end();) {
      const uint32_t block_row = static_cast<uint32_t>(it->first) / layout_.block_rows;
      rows.clear();
      for (; it != pending_.end() &&
             static_cast<uint32_t>(it->first) / layout_.block_rows == block_row;
           ++it) {
        rows.push_back(&*it);
      }
      PlanBlockRow(block_row, rows, &segment, &writes, &new_blocks);
    }
    PlanNewBlocks(&new_blocks, &segment, &writes, &entries);
    // Not one byte of the raster changes before its old bytes are safe.
    journal_->Append(segment);
    for (const Write& w : writes) {
      wrote_ = true;
      if (!file_.WriteAt(w.at, w.bytes.data(), w.bytes.size())) Fail(GIO_ERR_WRITE);
    }
    for (const Write& w : entries)
      if (!file_.WriteAt(w.at, w.bytes.data(), w.bytes.size())) Fail(GIO_ERR_WRITE);
  } catch (...) {
    layout_ = before;
    end_ = end_before;
    throw;
  }
  pending_.clear();
  pending_bytes_ = 0;
}

void InPlaceUpdate::Commit() {
  Flush();
  // The commit point: the raster's bytes reach the disk before the
  // journal that could undo them goes.
  if (wrote_ && !file_.Sync()) Fail(GIO_ERR_WRITE);
  if (!journal_->Commit()) Fail(GIO_ERR_WRITE);
  journal_.reset();
  file_.Close();
}

bool InPlaceUpdate::RollBack() {
  pending_.clear();
  pending_bytes_ = 0;
  if (!journal_) return true;
  const bool restored = journal_->RollBack();
  journal_.reset();
  file_.Close();
  return restored;
}

}  // namespace gridio
