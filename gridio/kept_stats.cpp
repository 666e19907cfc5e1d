#include "kept_stats.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "gio_error.h"
#include "partial_file.h"

namespace gridio {

namespace fs = std::filesystem;

namespace {

const char kMagic[16] = {'g', 'r', 'i', 'd', 'i', 'o', '-', 's',
                         't', 'a', 't', 's', '-', 'v', '1', '\n'};
// Identity, cell type and size, merged statistics.
constexpr size_t kHeadBytes = sizeof(kMagic) + 5 * 8 + 3 * 4 + 4 + 8 + 4 * 8;
constexpr size_t kRowBytes = 8 + 5 * 8;
constexpr size_t kMaxRows = 1u << 28;
// File systems that keep whole seconds (FAT keeps two) get this margin.
constexpr int64_t kCoarseTimesNs = 2LL * 1000000000;
constexpr int kSettleTries = 50;

template <typename T>
void Put(std::vector<unsigned char>* out, const T& value) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(&value);
  out->insert(out->end(), p, p + sizeof(T));
}

template <typename T>
T Take(const unsigned char** p) {
  T value;
  std::memcpy(&value, *p, sizeof(T));
  *p += sizeof(T);
  return value;
}

uint64_t Checksum(const unsigned char* p, size_t n) {
  uint64_t h = 0xcbf29ce484222325ULL;
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 0x100000001b3ULL;
  return h;
}

void PutIdentity(std::vector<unsigned char>* out, const FileIdentity& id) {
  Put(out, id.device);
  Put(out, id.inode);
  Put(out, id.size);
  Put(out, id.modified_ns);
  Put(out, id.changed_ns);
}

}  // namespace

std::string StatsPathFor(const std::string& raster) {
  const fs::path path(raster);
  return (path.parent_path() / ("." + path.filename().string() + ".gridio-stats")).string();
}

bool SettledIdentity(const std::string& raster, FileIdentity* id) {
  for (int i = 0; i < kSettleTries; ++i) {
    // The clock is read first: a change after the identity is taken then
    // gets a time no earlier than this, so later than the file's times.
    const int64_t now = FileClockNow();
    if (!IdentityOf(raster, id)) return false;
    const bool whole_seconds =
        id->modified_ns % 1000000000 == 0 && id->changed_ns % 1000000000 == 0;
    const int64_t latest =
        std::max(id->modified_ns, id->changed_ns) + (whole_seconds ? kCoarseTimesNs : 0);
    if (now > latest) return true;
    if (whole_seconds) return false;
    PauseMilliseconds(1);
  }
  return false;
}

bool LoadKeptStats(const std::string& raster, const FileIdentity& id, KeptStats* stats) {
  const std::string path = StatsPathFor(raster);
  FileIdentity file_id;
  RawFile file;
  if (!IdentityOf(path, &file_id) || file_id.size < kHeadBytes + 8 ||
      !file.Open(path, RawFile::Mode::kRead)) {
    return false;
  }
  std::vector<unsigned char> bytes(kHeadBytes);
  if (!file.ReadAt(0, bytes.data(), bytes.size()) ||
      std::memcmp(bytes.data(), kMagic, sizeof(kMagic)) != 0) {
    return false;
  }
  std::vector<unsigned char> expected;
  PutIdentity(&expected, id);
  if (std::memcmp(bytes.data() + sizeof(kMagic), expected.data(), expected.size()) != 0)
    return false;
  const unsigned char* p = bytes.data() + sizeof(kMagic) + expected.size();
  KeptStats out;
  out.cell_type = Take<int32_t>(&p);
  out.rows = Take<int32_t>(&p);
  out.cols = Take<int32_t>(&p);
  Take<int32_t>(&p);
  out.total.count = Take<int64_t>(&p);
  out.total.minimum = Take<double>(&p);
  out.total.maximum = Take<double>(&p);
  out.total.mean = Take<double>(&p);
  out.total.std_dev = Take<double>(&p);
  if (out.rows <= 0 || static_cast<size_t>(out.rows) > kMaxRows ||
      file_id.size != kHeadBytes + static_cast<uint64_t>(out.rows) * kRowBytes + 8) {
    return false;
  }
  bytes.resize(file_id.size);
  if (!file.ReadAt(kHeadBytes, bytes.data() + kHeadBytes, bytes.size() - kHeadBytes)) return false;
  uint64_t sum;
  std::memcpy(&sum, bytes.data() + bytes.size() - 8, 8);
  if (sum != Checksum(bytes.data(), bytes.size() - 8)) return false;
  p = bytes.data() + kHeadBytes;
  out.rows_summary.resize(out.rows);
  for (RowSummary& row : out.rows_summary) {
    row.count = Take<int64_t>(&p);
    row.minimum = Take<double>(&p);
    row.maximum = Take<double>(&p);
    row.shift = Take<double>(&p);
    row.offset = Take<double>(&p);
    row.m2 = Take<double>(&p);
  }
  *stats = std::move(out);
  return true;
}

void StoreKeptStats(const std::string& raster, const FileIdentity& id, const KeptStats& stats) {
  if (stats.rows <= 0 || stats.rows_summary.size() != static_cast<size_t>(stats.rows)) return;
  std::vector<unsigned char> bytes(kMagic, kMagic + sizeof(kMagic));
  bytes.reserve(kHeadBytes + stats.rows_summary.size() * kRowBytes + 8);
  PutIdentity(&bytes, id);
  Put(&bytes, static_cast<int32_t>(stats.cell_type));
  Put(&bytes, static_cast<int32_t>(stats.rows));
  Put(&bytes, static_cast<int32_t>(stats.cols));
  Put(&bytes, int32_t{0});
  Put(&bytes, static_cast<int64_t>(stats.total.count));
  Put(&bytes, stats.total.minimum);
  Put(&bytes, stats.total.maximum);
  Put(&bytes, stats.total.mean);
  Put(&bytes, stats.total.std_dev);
  for (const RowSummary& row : stats.rows_summary) {
    Put(&bytes, static_cast<int64_t>(row.count));
    Put(&bytes, row.minimum);
    Put(&bytes, row.maximum);
    Put(&bytes, row.shift);
    Put(&bytes, row.offset);
    Put(&bytes, row.m2);
  }
  Put(&bytes, Checksum(bytes.data(), bytes.size()));
  // Written aside and renamed into place: a reader never sees half a file.
  // Not forced: a file lost or cut short by a power loss is refused by its
  // checksum, and the layer is scanned again.
  try {
    PartialFile partial(StatsPathFor(raster));
    RawFile file;
    if (!file.Open(partial.path(), RawFile::Mode::kReadWrite) ||
        !file.WriteAt(0, bytes.data(), bytes.size())) {
      return;
    }
    file.Close();
    partial.CommitTo(StatsPathFor(raster), false);
  } catch (const GioError&) {
    // None kept.
  }
}

bool DropKeptStats(const std::string& raster) { return RemoveFile(StatsPathFor(raster)); }

}  // namespace gridio
