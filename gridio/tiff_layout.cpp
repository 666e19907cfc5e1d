#include "tiff_layout.h"

#include <cstring>
#include <map>

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

  // The first directory's entries by tag, and the offset of the next one.
  bool Directory(uint64_t at, std::map<uint16_t, Entry>* entries, uint64_t* next) {
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
    for (uint64_t i = 0; i < n; ++i) {
      const unsigned char* e = raw.data() + i * entry_bytes;
      Entry entry;
      entry.type = static_cast<uint16_t>(Decode(e + 2, 2));
      entry.count = big_ ? Decode(e + 4, 8) : Decode(e + 4, 4);
      entry.value_at = at + count_bytes + i * entry_bytes + (big_ ? 12 : 8);
      (*entries)[static_cast<uint16_t>(Decode(e, 2))] = entry;
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
  if (!reader.Header(&out, &ifd) || reader.GhostArea() || !reader.Directory(ifd, &entries, &next) ||
      next != 0) {
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
    }
  }
  *layout = std::move(out);
  return true;
}

}  // namespace gridio
