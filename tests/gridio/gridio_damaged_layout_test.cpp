// Layers whose TIFF layout is damaged, updated through a read-write open:
// block offsets and byte counts pointing into the header, the directory,
// the offset tables, another block, past the end, or cut short, and
// compressed blocks that no longer decode. Whatever the damage, the library
// either writes the block and leaves a raster GDAL reads with exactly the
// cells it read before plus the block, or refuses and leaves every byte of
// the file as it was. Mutants come from a fixed seed;
// MIRL_LAYOUT_MUTANTS sets how many (400 by default).
#include <cpl_error.h>
#include <cpl_string.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "gridio_fixture.h"

namespace {

using namespace gridio_test;

constexpr int kSize = 64;
constexpr int kBlockRow = 5, kBlockCol = 10, kBlockRows = 4, kBlockCols = 10;
constexpr float kBlockValue = 99.0f;

uint64_t Get(const std::string& b, uint64_t at, int width) {
  uint64_t v = 0;
  for (int i = 0; i < width && at + i < b.size(); ++i)
    v |= static_cast<uint64_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
  return v;
}

void Set(std::string* b, uint64_t at, int width, uint64_t v) {
  for (int i = 0; i < width && at + i < b->size(); ++i)
    (*b)[at + i] = static_cast<char>(v >> (8 * i));
}

// Where the structures of a little-endian classic TIFF (as GDAL writes it
// here) lie: its directory and the two tables of its blocks.
struct Layout {
  uint64_t ifd = 0, ifd_end = 0;
  uint64_t offsets_at = 0, counts_at = 0;  // where the tables' entries are
  int offset_width = 4, count_width = 4;
  std::vector<uint64_t> offsets, counts;
};

bool ReadLayout(const std::string& b, Layout* out) {
  if (b.size() < 8 || b.compare(0, 2, "II") != 0 || Get(b, 2, 2) != 42) return false;
  Layout l;
  l.ifd = Get(b, 4, 4);
  const uint64_t n = Get(b, l.ifd, 2);
  l.ifd_end = l.ifd + 2 + n * 12 + 4;
  for (uint64_t i = 0; i < n; ++i) {
    const uint64_t e = l.ifd + 2 + i * 12;
    const uint64_t tag = Get(b, e, 2), type = Get(b, e + 2, 2), count = Get(b, e + 4, 4);
    const int width = type == 3 ? 2 : type == 16 ? 8 : 4;
    const uint64_t at = count * width <= 4 ? e + 8 : Get(b, e + 8, 4);
    if (tag == 273 || tag == 324) {
      l.offsets_at = at;
      l.offset_width = width;
      for (uint64_t k = 0; k < count; ++k) l.offsets.push_back(Get(b, at + k * width, width));
    } else if (tag == 279 || tag == 325) {
      l.counts_at = at;
      l.count_width = width;
      for (uint64_t k = 0; k < count; ++k) l.counts.push_back(Get(b, at + k * width, width));
    }
  }
  *out = l;
  return !l.offsets.empty() && l.offsets.size() == l.counts.size();
}

// The cells GDAL reads from file; false when it cannot open or read it all.
bool GdalCells(const std::string& file, std::vector<float>* cells) {
  CPLPushErrorHandler(CPLQuietErrorHandler);
  GDALDatasetH ds = GDALOpenEx(file.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr,
                               nullptr);
  bool ok = ds != nullptr && GDALGetRasterXSize(ds) == kSize && GDALGetRasterYSize(ds) == kSize;
  if (ok) {
    cells->assign(kSize * kSize, 0.0f);
    ok = GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Read, 0, 0, kSize, kSize, cells->data(), kSize,
                      kSize, GDT_Float32, 0, 0) == CE_None;
  }
  if (ds != nullptr) GDALClose(ds);
  CPLPopErrorHandler();
  return ok;
}

uint64_t InodeOf(const std::string& file) {
  struct stat st;
  return stat(file.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_ino) : 0;
}

class GridioDamagedLayoutTest : public GridioTest {
 protected:
  void SetUp() override {
    GridioTest::SetUp();
    SetWindow(0, 0, kSize, kSize, 1);
    fs::create_directories(dir_.path() / "g");
  }

  std::string Raster() const { return Path("g/layer.tif"); }

  // A layer GDAL writes itself: 8 strips of 8 rows, or 16 x 16 tiles,
  // compressed or not.
  std::string Source(bool tiled, const char* compression) {
    const std::string file = Path("source.tif");
    char** options = nullptr;
    if (tiled) {
      options = CSLSetNameValue(options, "TILED", "YES");
      options = CSLSetNameValue(options, "BLOCKXSIZE", "16");
    }
    options = CSLSetNameValue(options, "BLOCKYSIZE", tiled ? "16" : "8");
    if (compression != nullptr) options = CSLSetNameValue(options, "COMPRESS", compression);
    GDALDatasetH ds = GDALCreate(GDALGetDriverByName("GTiff"), file.c_str(), kSize, kSize, 1,
                                 GDT_Float32, options);
    CSLDestroy(options);
    double gt[6] = {0, 1, 0, kSize, 0, -1};
    GDALSetGeoTransform(ds, gt);
    std::vector<float> cells(kSize * kSize);
    for (size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<float>((i * 7919) % 4099);
    EXPECT_EQ(GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Write, 0, 0, kSize, kSize, cells.data(),
                           kSize, kSize, GDT_Float32, 0, 0),
              CE_None);
    GDALClose(ds);
    return FileBytes(file);
  }

  // The block written through a read-write open; the close's result, or
  // the open's failure.
  int WriteBlock() {
    int32_t type;
    double size;
    const int h = CellLayerOpen(Path("g").c_str(), GIO_READWRITE, 1, &type, &size);
    if (h < 0) return h;
    std::vector<float> row(kSize);
    for (int r = kBlockRow; r < kBlockRow + kBlockRows; ++r) {
      if (GetWindowRowFloat(h, r, row.data()) != GIO_OK) break;
      std::fill(row.begin() + kBlockCol, row.begin() + kBlockCol + kBlockCols, kBlockValue);
      if (PutWindowRow(h, r, row.data()) != GIO_OK) break;
    }
    return CellLyrClose(h);
  }

  // Puts mutant in place as the layer, writes the block, and returns what
  // went wrong ("" when nothing did).
  std::string Check(const std::string& mutant) {
    PutFileBytes(Raster(), mutant);
    std::vector<float> before;
    const bool readable = GdalCells(Raster(), &before);
    const int result = WriteBlock();
    if (result != GIO_OK) {
      if (fs::exists(Path("g/.layer.tif.gridio-journal"))) return "a journal was left";
      return FileBytes(Raster()) == mutant ? "" : "refused (" + std::to_string(result) +
                                                 ") but the file changed";
    }
    if (!readable) return "a layer GDAL cannot read was reported written";
    std::vector<float> after;
    if (!GdalCells(Raster(), &after)) return "GDAL can no longer read the layer";
    std::vector<float> expected = before;
    for (int r = kBlockRow; r < kBlockRow + kBlockRows; ++r) {
      // A row read and written back through the library: a NaN of a layer
      // without nodata reads as the float marker, which is written as it is.
      for (int c = 0; c < kSize; ++c)
        if (std::isnan(expected[r * kSize + c])) expected[r * kSize + c] = GIO_MISSING_FLOAT;
      std::fill(expected.begin() + r * kSize + kBlockCol,
                expected.begin() + r * kSize + kBlockCol + kBlockCols, kBlockValue);
    }
    // Bit for bit: bytes of another block read as floats may be NaNs.
    if (std::memcmp(after.data(), expected.data(), after.size() * sizeof(float)) != 0) {
      int outside = 0, inside = 0;
      for (size_t i = 0; i < after.size(); ++i) {
        const int r = static_cast<int>(i) / kSize, c = static_cast<int>(i) % kSize;
        const bool in = r >= kBlockRow && r < kBlockRow + kBlockRows && c >= kBlockCol &&
                        c < kBlockCol + kBlockCols;
        if (std::memcmp(&after[i], &expected[i], sizeof(float)) != 0) ++(in ? inside : outside);
      }
      return std::to_string(outside) + " cells changed outside the block, " +
             std::to_string(inside) + " of the block lost";
    }
    // Once written, the layer is updated where it lies: no second
    // conversion.
    const uint64_t inode = InodeOf(Raster());
    if (WriteBlock() != GIO_OK) return "a second write failed";
    if (InodeOf(Raster()) != inode) return "converted again";
    return "";
  }
};

TEST_F(GridioDamagedLayoutTest, BlocksPointingAtOtherStructuresAreNeverWrittenInPlace) {
  const std::string source = Source(false, nullptr);
  Layout l;
  ASSERT_TRUE(ReadLayout(source, &l));
  ASSERT_EQ(l.offsets.size(), 8u);
  // Strip 2 moved onto: the header, the directory, each table, strip 1,
  // half into strip 3, past the end, across the end.
  const uint64_t targets[] = {4,           l.ifd,       l.ifd + 20,          l.offsets_at,
                              l.counts_at, l.offsets[1], l.offsets[3] + 100, source.size() + 64,
                              source.size() - l.counts[2] / 2};
  for (uint64_t target : targets) {
    std::string mutant = source;
    Set(&mutant, l.offsets_at + 2 * l.offset_width, l.offset_width, target);
    EXPECT_EQ(Check(mutant), "") << "strip 2 at " << target;
  }
  // Byte counts of strip 2 cut short, too long, and huge.
  for (uint64_t count : {l.counts[2] - 4, l.counts[2] + 4, uint64_t{0x7fffffff}}) {
    std::string mutant = source;
    Set(&mutant, l.counts_at + 2 * l.count_width, l.count_width, count);
    EXPECT_EQ(Check(mutant), "") << "strip 2 of " << count << " bytes";
  }
}

TEST_F(GridioDamagedLayoutTest, CompressedBlocksThatDoNotDecodeAreRefusedUntouched) {
  for (const char* compression : {"LZW", "DEFLATE"}) {
    const std::string source = Source(false, compression);
    Layout l;
    ASSERT_TRUE(ReadLayout(source, &l));
    std::string mutant = source;
    for (uint64_t i = 0; i < l.counts[1]; ++i) mutant[l.offsets[1] + i] = static_cast<char>(0xff - i);
    PutFileBytes(Raster(), mutant);
    std::vector<float> cells;
    ASSERT_FALSE(GdalCells(Raster(), &cells)) << "the damage does not show";
    EXPECT_EQ(WriteBlock(), GIO_ERR_READ) << compression;
    EXPECT_EQ(FileBytes(Raster()), mutant) << compression;
    EXPECT_TRUE(Listing(dir_.path() / "g") == std::vector<std::string>{"layer.tif"})
        << compression;
  }
}

TEST_F(GridioDamagedLayoutTest, RandomlyDamagedLayoutsAreWrittenWhollyOrNotAtAll) {
  const char* env = std::getenv("MIRL_LAYOUT_MUTANTS");
  const int mutants = env != nullptr ? std::atoi(env) : 400;
  std::mt19937 rng(20261209);
  struct Kind {
    bool tiled;
    const char* compression;
  };
  const Kind kinds[] = {{false, nullptr}, {true, nullptr}, {false, "LZW"}, {true, "DEFLATE"}};
  std::vector<std::string> sources;
  std::vector<Layout> layouts;
  for (const Kind& k : kinds) {
    sources.push_back(Source(k.tiled, k.compression));
    layouts.emplace_back();
    ASSERT_TRUE(ReadLayout(sources.back(), &layouts.back()));
  }
  int written = 0, refused = 0;
  std::vector<std::string> failures;
  for (int m = 0; m < mutants; ++m) {
    const size_t which = std::uniform_int_distribution<size_t>(0, sources.size() - 1)(rng);
    const Layout& l = layouts[which];
    std::string mutant = sources[which];
    const uint64_t size = mutant.size();
    const int changes = std::uniform_int_distribution<int>(1, 3)(rng);
    std::string what = "layout " + std::to_string(which) + ":";
    for (int c = 0; c < changes; ++c) {
      const size_t k = std::uniform_int_distribution<size_t>(0, l.offsets.size() - 1)(rng);
      const size_t other = std::uniform_int_distribution<size_t>(0, l.offsets.size() - 1)(rng);
      const uint64_t anywhere = std::uniform_int_distribution<uint64_t>(0, size + 4096)(rng);
      const uint64_t offset_at = l.offsets_at + k * l.offset_width;
      const uint64_t count_at = l.counts_at + k * l.count_width;
      const int how = std::uniform_int_distribution<int>(0, 7)(rng);
      what += " change " + std::to_string(how) + " of block " + std::to_string(k);
      switch (how) {
        case 0:  // anywhere at all
          Set(&mutant, offset_at, l.offset_width, anywhere);
          break;
        case 1:  // onto another block, or part of it
          Set(&mutant, offset_at, l.offset_width, l.offsets[other] + anywhere % 64);
          break;
        case 2:  // into the directory or the tables
          Set(&mutant, offset_at, l.offset_width,
              std::vector<uint64_t>{l.ifd, l.offsets_at, l.counts_at, 0}[anywhere % 4] +
                  anywhere % 16);
          break;
        case 3:  // a byte count off by a little or a lot
          Set(&mutant, count_at, l.count_width,
              l.counts[k] + (anywhere % 2 ? 1 : -1) * static_cast<int64_t>(anywhere % 300));
          break;
        case 4:  // never written
          Set(&mutant, count_at, l.count_width, 0);
          break;
        case 5:  // two blocks swapped, offsets and byte counts
          Set(&mutant, offset_at, l.offset_width, l.offsets[other]);
          Set(&mutant, l.offsets_at + other * l.offset_width, l.offset_width, l.offsets[k]);
          Set(&mutant, count_at, l.count_width, l.counts[other]);
          Set(&mutant, l.counts_at + other * l.count_width, l.count_width, l.counts[k]);
          break;
        case 6:  // a block's bytes scribbled over
          for (uint64_t i = 0; i < std::min<uint64_t>(l.counts[k], 32); ++i)
            mutant[std::min<uint64_t>(l.offsets[k] + anywhere % l.counts[k] + i, size - 1)] ^=
                static_cast<char>(0x5a + i);
          break;
        default:  // the directory's next-directory link
          Set(&mutant, l.ifd_end - 4, 4, anywhere);
          break;
      }
    }
    const std::string failure = Check(mutant);
    if (!failure.empty())
      failures.push_back("mutant " + std::to_string(m) + " (" + what + "): " + failure);
    ++(FileBytes(Raster()) == mutant ? refused : written);
    fs::remove_all(dir_.path() / "g");
    fs::create_directories(dir_.path() / "g");
  }
  std::string listed;
  for (size_t i = 0; i < failures.size() && i < 5; ++i) listed += "\n" + failures[i];
  EXPECT_TRUE(failures.empty()) << failures.size() << " of " << mutants << ":" << listed;
  EXPECT_GT(written, mutants / 10);
  EXPECT_GT(refused, mutants / 20);
  std::cout << mutants << " damaged layouts: " << written << " written, " << refused
            << " refused\n";
}

}  // namespace
