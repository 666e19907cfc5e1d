#include "tiff_layout.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

namespace gridio {

namespace {

constexpr uint16_t kImageWidth = 256;
constexpr uint16_t kImageLength = 257;
constexpr uint16_t kBitsPerSample = 258;
constexpr uint16_t kCompression = 259;
constexpr uint16_t kStripOffsets = 273;
constexpr uint16_t kSamplesPerPixel = 277;
constexpr uint16_t kRowsPerStrip = 278;
constexpr uint16_t kStripByteCounts = 279;
constexpr uint16_t kTileWidth = 322;
constexpr uint16_t kTileLength = 323;
constexpr uint16_t kTileOffsets = 324;
constexpr uint16_t kTileByteCounts = 325;

// Far beyond any directory a GeoTIFF writer makes; guards the reads below.
constexpr uint64_t kMaxEntries = 4096;
constexpr uint64_t kMaxBlocks = uint64_t{1} << 26;

struct Entry {
  uint16_t type = 0;
  uint64_t count = 0;
  uint64_t value_at = 0;  // file position of the entry's value field
};

// A stretch of the file that one structure takes: [start, end).
struct Range {
  uint64_t start;
  uint64_t end;
};

// Bytes per value of a TIFF field type; 0 for a type this reader does not
// know (whose data it then cannot place).
uint64_t TypeBytes(uint16_t type) {
  switch (type) {
    case 1:   // BYTE
    case 2:   // ASCII
    case 6:   // SBYTE
    case 7:   // UNDEFINED
      return 1;
    case 3:   // SHORT
    case 8:   // SSHORT
      return 2;
    case 4:   // LONG
    case 9:   // SLONG
    case 11:  // FLOAT
    case 13:  // IFD
      return 4;
    case 5:   // RATIONAL
    case 10:  // SRATIONAL
    case 12:  // DOUBLE
    case 16:  // LONG8
    case 17:  // SLONG8
    case 18:  // IFD8
      return 8;
    default:
      return 0;
  }
}

// Whether no two ranges share a byte.
bool Disjoint(std::vector<Range> ranges) {
  std::sort(ranges.begin(), ranges.end(),
            [](const Range& a, const Range& b) { return a.start < b.start; });
  uint64_t reached = 0;
  for (const Range& r : ranges) {
    if (r.start < reached) return false;
    reached = std::max(reached, r.end);
  }
  return true;
}

class Reader {
 public:
  Reader(const RawFile& file, uint64_t file_size) : file_(file), size_(file_size) {}

  bool Header(TiffLayout* layout, uint64_t* ifd) {
    unsigned char h[16];
    if (size_ < 8 || !file_.ReadAt(0, h, size_ >= 16 ? 16 : 8)) return false;
    bool little;
    if (h[0] == 'I' && h[1] == 'I')
      little = true;
    else if (h[0] == 'M' && h[1] == 'M')
      little = false;
    else
      return false;
    little_ = little;
    layout->swapped = little != HostIsLittleEndian();
    const uint16_t magic = static_cast<uint16_t>(Decode(h + 2, 2));
    if (magic == 42) {
      big_ = false;
      *ifd = Decode(h + 4, 4);
    } else if (magic == 43 && size_ >= 16 && Decode(h + 4, 2) == 8 && Decode(h + 6, 2) == 0) {
      big_ = true;
      *ifd = Decode(h + 8, 8);
    } else {
      return false;
    }
    layout->big_tiff = big_;
    return true;
  }

  // The first directory's entries by tag, and the offset of the next one;
  // the ranges of the header, the directory and every field's data that
  // lies outside it go to *taken.
  bool Directory(uint64_t at, std::map<uint16_t, Entry>* entries, uint64_t* next,
                 std::vector<Range>* taken) {
    const int count_bytes = big_ ? 8 : 2;
    const int entry_bytes = big_ ? 20 : 12;
    const int link_bytes = big_ ? 8 : 4;
    unsigned char c[8];
    if (at < 8 || at > size_ || size_ - at < static_cast<uint64_t>(count_bytes) ||
        !file_.ReadAt(at, c, count_bytes)) {
      return false;
    }
    const uint64_t n = Decode(c, count_bytes);
    if (n == 0 || n > kMaxEntries) return false;
    const uint64_t bytes = n * entry_bytes + link_bytes;
    if (size_ - at - count_bytes < bytes) return false;
    std::vector<unsigned char> raw(bytes);
    if (!file_.ReadAt(at + count_bytes, raw.data(), raw.size())) return false;
    taken->push_back(Range{0, big_ ? 16u : 8u});
    taken->push_back(Range{at, at + count_bytes + bytes});
    const uint64_t inline_bytes = big_ ? 8 : 4;
    for (uint64_t i = 0; i < n; ++i) {
      const unsigned char* e = raw.data() + i * entry_bytes;
      Entry entry;
      entry.type = static_cast<uint16_t>(Decode(e + 2, 2));
      entry.count = big_ ? Decode(e + 4, 8) : Decode(e + 4, 4);
      entry.value_at = at + count_bytes + i * entry_bytes + (big_ ? 12 : 8);
      const uint16_t tag = static_cast<uint16_t>(Decode(e, 2));
      // Two entries of one tag: which one a reader takes is its own choice.
      if (entries->count(tag) != 0) return false;
      (*entries)[tag] = entry;
      const uint64_t type_bytes = TypeBytes(entry.type);
      if (type_bytes == 0 || entry.count > size_ / type_bytes) return false;
      const uint64_t data_bytes = entry.count * type_bytes;
      if (data_bytes <= inline_bytes) continue;
      const uint64_t data_at = Decode(e + (big_ ? 12 : 8), static_cast<int>(inline_bytes));
      if (data_at > size_ || size_ - data_at < data_bytes) return false;
      taken->push_back(Range{data_at, data_at + data_bytes});
    }
    *next = Decode(raw.data() + n * entry_bytes, link_bytes);
    return true;
  }

  // The entry's values as unsigned integers (SHORT, LONG or LONG8 only),
  // with where they lie and their width.
  bool Values(const Entry& entry, std::vector<uint64_t>* values, uint64_t* at, int* width) {
    switch (entry.type) {
      case 3:
        *width = 2;
        break;
      case 4:
        *width = 4;
        break;
      case 16:
        *width = 8;
        break;
      default:
        return false;
    }
    if (entry.count == 0 || entry.count > kMaxBlocks) return false;
    const uint64_t bytes = entry.count * static_cast<uint64_t>(*width);
    const uint64_t inline_bytes = big_ ? 8 : 4;
    if (bytes <= inline_bytes) {
      *at = entry.value_at;
    } else {
      unsigned char v[8];
      if (!file_.ReadAt(entry.value_at, v, inline_bytes)) return false;
      *at = Decode(v, static_cast<int>(inline_bytes));
    }
    if (*at > size_ || size_ - *at < bytes) return false;
    std::vector<unsigned char> raw(bytes);
    if (!file_.ReadAt(*at, raw.data(), raw.size())) return false;
    values->resize(entry.count);
    for (uint64_t i = 0; i < entry.count; ++i) (*values)[i] = Decode(raw.data() + i * *width, *width);
    return true;
  }

  bool Single(const std::map<uint16_t, Entry>& entries, uint16_t tag, uint64_t fallback,
              uint64_t* value) {
    auto it = entries.find(tag);
    if (it == entries.end()) {
      *value = fallback;
      return true;
    }
    std::vector<uint64_t> values;
    uint64_t at;
    int width;
    if (!Values(it->second, &values, &at, &width)) return false;
    // Several samples' bits per sample: only one sample is allowed anyway.
    *value = values[0];
    for (uint64_t v : values)
      if (v != values[0]) return false;
    return true;
  }

  bool GhostArea() {
    static const char kGhost[] = "GDAL_STRUCTURAL_METADATA_SIZE";
    const uint64_t at = big_ ? 16 : 8;
    char text[sizeof(kGhost) - 1];
    if (size_ < at + sizeof(text) || !file_.ReadAt(at, text, sizeof(text))) return false;
    return std::memcmp(text, kGhost, sizeof(text)) == 0;
  }

 private:
  uint64_t Decode(const unsigned char* p, int width) const {
    uint64_t v = 0;
    for (int i = 0; i < width; ++i) {
      const int shift = little_ ? 8 * i : 8 * (width - 1 - i);
      v |= static_cast<uint64_t>(p[i]) << shift;
    }
    return v;
  }

  const RawFile& file_;
  uint64_t size_;
  bool little_ = true;
  bool big_ = false;
};

}  // namespace

uint32_t TiffLayout::RowsIn(uint32_t block_row) const {
  const uint64_t first = static_cast<uint64_t>(block_row) * block_rows;
  const uint64_t rest = height > first ? height - first : 0;
  // Tiles are always whole; only a last strip is cut short.
  if (block_cols != width || rest >= block_rows) return block_rows;
  return static_cast<uint32_t>(rest);
}

uint64_t TiffLayout::BlockBytes(uint32_t block_row) const {
  return static_cast<uint64_t>(RowsIn(block_row)) * block_cols * sample_bytes;
}

uint64_t TiffLayout::OffsetInBlock(uint32_t row, uint32_t col) const {
  return (static_cast<uint64_t>(row % block_rows) * block_cols + col % block_cols) * sample_bytes;
}

bool ReadTiffLayout(const RawFile& file, uint64_t file_size, TiffLayout* layout) {
  Reader reader(file, file_size);
  TiffLayout out;
  uint64_t ifd = 0, next = 0;
  std::map<uint16_t, Entry> entries;
  std::vector<Range> taken;
  if (!reader.Header(&out, &ifd) || reader.GhostArea() ||
      !reader.Directory(ifd, &entries, &next, &taken) || next != 0) {
    return false;
  }
  uint64_t width, height, bits, compression, samples;
  if (!reader.Single(entries, kImageWidth, 0, &width) ||
      !reader.Single(entries, kImageLength, 0, &height) ||
      !reader.Single(entries, kBitsPerSample, 1, &bits) ||
      !reader.Single(entries, kCompression, 1, &compression) ||
      !reader.Single(entries, kSamplesPerPixel, 1, &samples)) {
    return false;
  }
  if (width == 0 || height == 0 || width > 0x7fffffff || height > 0x7fffffff || compression != 1 ||
      samples != 1 || (bits != 8 && bits != 16 && bits != 32 && bits != 64)) {
    return false;
  }
  out.width = static_cast<uint32_t>(width);
  out.height = static_cast<uint32_t>(height);
  out.sample_bytes = static_cast<int>(bits / 8);

  const bool tiled = entries.count(kTileOffsets) != 0;
  uint64_t block_cols, block_rows;
  if (tiled) {
    if (!reader.Single(entries, kTileWidth, 0, &block_cols) ||
        !reader.Single(entries, kTileLength, 0, &block_rows) || block_cols == 0 ||
        block_rows == 0 || block_cols > 65536 || block_rows > 65536) {
      return false;
    }
  } else {
    block_cols = width;
    if (!reader.Single(entries, kRowsPerStrip, height, &block_rows) || block_rows == 0)
      return false;
    if (block_rows > height) block_rows = height;
  }
  out.block_cols = static_cast<uint32_t>(block_cols);
  out.block_rows = static_cast<uint32_t>(block_rows);
  const uint64_t across = (width + block_cols - 1) / block_cols;
  const uint64_t down = (height + block_rows - 1) / block_rows;
  if (across * down > kMaxBlocks) return false;
  out.blocks_across = static_cast<uint32_t>(across);
  out.blocks_down = static_cast<uint32_t>(down);

  auto offsets = entries.find(tiled ? kTileOffsets : kStripOffsets);
  auto counts = entries.find(tiled ? kTileByteCounts : kStripByteCounts);
  if (offsets == entries.end() || counts == entries.end() ||
      !reader.Values(offsets->second, &out.offsets, &out.offsets_at, &out.offset_width) ||
      !reader.Values(counts->second, &out.counts, &out.counts_at, &out.count_width) ||
      out.offsets.size() != across * down || out.counts.size() != across * down) {
    return false;
  }
  for (uint32_t block_row = 0; block_row < out.blocks_down; ++block_row) {
    const uint64_t full = out.BlockBytes(block_row);
    for (uint32_t block_col = 0; block_col < out.blocks_across; ++block_col) {
      const uint32_t i = out.BlockIndex(block_row, block_col);
      if (out.counts[i] == 0 || out.offsets[i] == 0) {
        // Never written, whatever the other half of the pair says.
        out.counts[i] = 0;
        out.offsets[i] = 0;
        continue;
      }
      if (out.counts[i] != full || out.offsets[i] > file_size || file_size - out.offsets[i] < full)
        return false;
      taken.push_back(Range{out.offsets[i], out.offsets[i] + full});
    }
  }
  // Cells written where a block lies must change nothing else: not the
  // header, a directory, a field's data or another block.
  if (!Disjoint(std::move(taken))) return false;
  *layout = std::move(out);
  return true;
}

}  // namespace gridio
