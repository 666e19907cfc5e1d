#include "rollback_journal.h"

#include <cstring>
#include <filesystem>
#include <set>

#include "avgridio.h"
#include "gio_error.h"
#include "never_destroyed.h"

namespace gridio {

namespace fs = std::filesystem;

namespace {

const char kMagic[16] = {'g', 'r', 'i', 'd', 'i', 'o', '-', 'r',
                         'o', 'l', 'l', 'b', 'a', 'c', 'k', '1'};
constexpr uint32_t kSegmentMagic = 0x31474553;  // "SEG1"
constexpr uint64_t kSegmentHead = 16;
constexpr uint64_t kChecksumBytes = 8;
// How long a writer waits for another process's writer of the same layer.
constexpr int64_t kWriterWaitNs = 30LL * 1000000000;
constexpr int kWriterPollMs = 5;

// Journals this process holds as a writer: a second writer here would wait
// for itself.
std::set<std::string>& HeldHere() {
  static NeverDestroyed<std::set<std::string>> held;
  return held.get();
}

void Put(std::vector<unsigned char>* out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

uint64_t Get(const unsigned char* p, int width) {
  uint64_t v = 0;
  for (int i = 0; i < width; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  return v;
}

// Catches a segment cut short or never written (zeros, stale bytes); not
// meant to resist deliberate forgery. Bytes added in pieces sum as the same
// bytes added at once.
class Checksum {
 public:
  void Add(const unsigned char* p, uint64_t n) {
    total_ += n;
    while (n > 0) {
      if (held_ == 0 && n >= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        Mix(word);
        p += 8;
        n -= 8;
        continue;
      }
      tail_[held_++] = *p++;
      --n;
      if (held_ == 8) {
        uint64_t word;
        std::memcpy(&word, tail_, 8);
        Mix(word);
        held_ = 0;
      }
    }
  }
  uint64_t value() const {
    Checksum last = *this;
    uint64_t tail = 0;
    for (int i = 0; i < held_; ++i) tail |= static_cast<uint64_t>(tail_[i]) << (8 * i);
    last.Mix(tail ^ total_);
    return last.h_ ^ (last.h_ >> 31);
  }

 private:
  void Mix(uint64_t word) {
    h_ = (h_ ^ word) * 0x9e3779b97f4a7c15ULL;
    h_ ^= h_ >> 29;
  }
  uint64_t h_ = 0xcbf29ce484222325ULL;
  uint64_t total_ = 0;
  unsigned char tail_[8] = {};
  int held_ = 0;
};

struct Header {
  std::string name;
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t original_size = 0;
  uint64_t end = 0;  // where the first segment starts
};

std::vector<unsigned char> EncodeHeader(const Header& header) {
  std::vector<unsigned char> out(kMagic, kMagic + sizeof(kMagic));
  Put(&out, header.name.size(), 4);
  out.insert(out.end(), header.name.begin(), header.name.end());
  Put(&out, header.device, 8);
  Put(&out, header.inode, 8);
  Put(&out, header.original_size, 8);
  Checksum sum;
  sum.Add(out.data(), out.size());
  Put(&out, sum.value(), 8);
  return out;
}

bool ReadHeader(const RawFile& journal, uint64_t size, Header* header) {
  unsigned char head[sizeof(kMagic) + 4];
  if (size < sizeof(head) || !journal.ReadAt(0, head, sizeof(head)) ||
      std::memcmp(head, kMagic, sizeof(kMagic)) != 0) {
    return false;
  }
  const uint64_t name_size = Get(head + sizeof(kMagic), 4);
  const uint64_t total = sizeof(head) + name_size + 3 * 8 + kChecksumBytes;
  if (name_size > 4096 || size < total) return false;
  std::vector<unsigned char> bytes(total);
  if (!journal.ReadAt(0, bytes.data(), bytes.size())) return false;
  Checksum sum;
  sum.Add(bytes.data(), total - kChecksumBytes);
  if (sum.value() != Get(bytes.data() + total - kChecksumBytes, 8)) return false;
  const unsigned char* p = bytes.data() + sizeof(head);
  header->name.assign(reinterpret_cast<const char*>(p), name_size);
  p += name_size;
  header->device = Get(p, 8);
  header->inode = Get(p + 8, 8);
  header->original_size = Get(p + 16, 8);
  header->end = total;
  return true;
}

// The whole segment at pos when it is complete, intact and well formed.
bool ReadSegment(const RawFile& journal, uint64_t size, uint64_t pos,
                 const Header& header, std::vector<unsigned char>* segment) {
  unsigned char head[kSegmentHead];
  if (size - pos < kSegmentHead + kChecksumBytes || !journal.ReadAt(pos, head, kSegmentHead) ||
      Get(head, 4) != kSegmentMagic) {
    return false;
  }
  const uint64_t records = Get(head + 4, 4);
  const uint64_t payload = Get(head + 8, 8);
  if (payload > size - pos - kSegmentHead - kChecksumBytes) return false;
  segment->resize(kSegmentHead + payload + kChecksumBytes);
  if (!journal.ReadAt(pos, segment->data(), segment->size())) return false;
  Checksum sum;
  sum.Add(segment->data(), kSegmentHead + payload);
  if (sum.value() != Get(segment->data() + kSegmentHead + payload, 8)) return false;
  // Every record must lie inside the raster as it was.
  uint64_t at = kSegmentHead;
  for (uint64_t r = 0; r < records; ++r) {
    if (kSegmentHead + payload - at < 16) return false;
    const uint64_t offset = Get(segment->data() + at, 8);
    const uint64_t bytes = Get(segment->data() + at + 8, 8);
    at += 16;
    if (bytes > kSegmentHead + payload - at || offset > header.original_size ||
        header.original_size - offset < bytes) {
      return false;
    }
    at += bytes;
  }
  return at == kSegmentHead + payload;
}

// Restores raster from the journal's intact segments, latest first, so
// that bytes journaled twice end as their first (original) copy; then cuts
// off what was appended and forces the result to the disk.
bool PlayBack(const RawFile& journal, uint64_t size, const Header& header, RawFile& raster) {
  std::vector<uint64_t> starts;
  std::vector<unsigned char> segment;
  for (uint64_t pos = header.end; pos < size;) {
    if (!ReadSegment(journal, size, pos, header, &segment)) break;
    starts.push_back(pos);
    pos += segment.size();
  }
  for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
    if (!ReadSegment(journal, size, *it, header, &segment)) return false;
    const uint64_t records = Get(segment.data() + 4, 4);
    uint64_t at = kSegmentHead;
    for (uint64_t r = 0; r < records; ++r) {
      const uint64_t offset = Get(segment.data() + at, 8);
      const uint64_t bytes = Get(segment.data() + at + 8, 8);
      at += 16;
      if (!raster.WriteAt(offset, segment.data() + at, bytes)) return false;
      at += bytes;
    }
  }
  FileIdentity now;
  if (!raster.Identity(&now)) return false;
  if (now.size > header.original_size && !raster.Truncate(header.original_size)) return false;
  return raster.Sync();
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.device == b.device && a.inode == b.inode;
}

std::string NameOf(const std::string& raster) { return fs::path(raster).filename().string(); }

}  // namespace

std::string JournalPathFor(const std::string& raster) {
  const fs::path path(raster);
  return (path.parent_path() / ("." + path.filename().string() + ".gridio-journal")).string();
}

std::string RasterOfJournal(const std::string& path) {
  static const std::string kSuffix = ".gridio-journal";
  const fs::path journal(path);
  const std::string name = journal.filename().string();
  if (name.size() <= kSuffix.size() + 1 || name[0] != '.' ||
      name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) {
    return std::string();
  }
  return (journal.parent_path() / name.substr(1, name.size() - kSuffix.size() - 1)).string();
}

void JournalSegment::Add(uint64_t offset, const void* old_bytes, uint64_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(old_bytes);
  // Ranges that meet in the raster make one record.
  if (records_ > 0 && last_end_ == offset) {
    const uint64_t grown = Get(bytes_.data() + last_record_ + 8, 8) + size;
    for (int i = 0; i < 8; ++i) bytes_[last_record_ + 8 + i] = static_cast<unsigned char>(grown >> (8 * i));
    bytes_.insert(bytes_.end(), p, p + size);
    last_end_ += size;
    return;
  }
  last_record_ = bytes_.size();
  last_end_ = offset + size;
  Put(&bytes_, offset, 8);
  Put(&bytes_, size, 8);
  bytes_.insert(bytes_.end(), p, p + size);
  ++records_;
}

void JournalSegment::Clear() {
  bytes_.clear();
  records_ = 0;
}

RollbackJournal::RollbackJournal(const std::string& raster, RawFile& file, RawFile::Mode mode)
    : raster_(raster), path_(JournalPathFor(raster)), file_(file) {
  if (HeldHere().count(path_) != 0) Fail(GIO_ERR_OPEN);
  const int64_t deadline = FileClockNow() + kWriterWaitNs;
  for (;;) {
    if (!journal_.Open(path_, RawFile::Mode::kCreateReadWrite)) Fail(GIO_ERR_OPEN);
    FileIdentity mine, named;
    // A journal removed or replaced between our open and our lock belongs
    // to a writer that has finished: start again on the file now there.
    if (journal_.TryLock() && journal_.Identity(&mine) && IdentityOf(path_, &named) &&
        SameFile(mine, named)) {
      break;
    }
    journal_.Close();
    if (FileClockNow() > deadline) Fail(GIO_ERR_OPEN);
    PauseMilliseconds(kWriterPollMs);
  }
  held_ = true;
  HeldHere().insert(path_);
  FileIdentity journal_id, id;
  if (!file_.Open(raster_, mode) || !journal_.Identity(&journal_id) || !file_.Identity(&id)) {
    Release();
    Fail(GIO_ERR_OPEN);
  }
  if (journal_id.size == 0) return;
  Header header;
  // A dead writer's journal: played back when it is this raster's.
  if (ReadHeader(journal_, journal_id.size, &header) && header.name == NameOf(raster_) &&
      header.device == id.device && header.inode == id.inode &&
      !PlayBack(journal_, journal_id.size, header, file_)) {
    Release();
    Fail(GIO_ERR_WRITE);
  }
  if (!journal_.Truncate(0)) {
    Release();
    Fail(GIO_ERR_OPEN);
  }
}

RollbackJournal::~RollbackJournal() {
  if (held_) RollBack();
}

void RollbackJournal::Append(const JournalSegment& segment) {
  if (segment.empty()) return;
  uint64_t end = end_;
  if (!started_) {
    FileIdentity now;
    if (!file_.Identity(&now)) Fail(GIO_ERR_WRITE);
    Header header;
    header.name = NameOf(raster_);
    header.device = now.device;
    header.inode = now.inode;
    header.original_size = now.size;
    const std::vector<unsigned char> head = EncodeHeader(header);
    if (!journal_.WriteAt(0, head.data(), head.size())) Fail(GIO_ERR_WRITE);
    end = head.size();
  }
  std::vector<unsigned char> head;
  Put(&head, kSegmentMagic, 4);
  Put(&head, segment.records_, 4);
  Put(&head, segment.bytes_.size(), 8);
  Checksum sum;
  sum.Add(head.data(), head.size());
  sum.Add(segment.bytes_.data(), segment.bytes_.size());
  std::vector<unsigned char> tail;
  Put(&tail, sum.value(), 8);
  if (!journal_.WriteAt(end, head.data(), head.size()) ||
      !journal_.WriteAt(end + head.size(), segment.bytes_.data(), segment.bytes_.size()) ||
      !journal_.WriteAt(end + head.size() + segment.bytes_.size(), tail.data(), tail.size()) ||
      !journal_.Sync()) {
    Fail(GIO_ERR_WRITE);
  }
  // The journal's name must outlast a power loss as well as its bytes.
  if (!started_ && !SyncDirectory(fs::path(path_).parent_path().string())) Fail(GIO_ERR_WRITE);
  end_ = end + head.size() + segment.bytes_.size() + tail.size();
  started_ = true;
}

bool RollbackJournal::Commit() {
  const bool removed = RemoveFile(path_);
  // The removal is done either way; a directory that cannot be forced only
  // leaves it to the system's next write-back.
  if (removed && started_) SyncDirectory(fs::path(path_).parent_path().string());
  Release();
  return removed;
}

bool RollbackJournal::RollBack() {
  if (!held_) return true;
  bool restored = true;
  if (started_) {
    Header header;
    restored = ReadHeader(journal_, end_, &header) && PlayBack(journal_, end_, header, file_);
  }
  if (restored) restored = RemoveFile(path_);
  Release();
  return restored;
}

void RollbackJournal::Release() {
  journal_.Close();
  HeldHere().erase(path_);
  held_ = false;
}

void RecoverLayer(const std::string& raster) {
  const std::string path = JournalPathFor(raster);
  FileIdentity named;
  if (!IdentityOf(path, &named) || HeldHere().count(path) != 0) return;
  RawFile journal;
  FileIdentity mine;
  // Locked: a live writer's, not hot. Replaced since we looked: not ours.
  if (!journal.Open(path, RawFile::Mode::kReadWrite) || !journal.TryLock() ||
      !journal.Identity(&mine) || !IdentityOf(path, &named) || !SameFile(mine, named)) {
    return;
  }
  Header header;
  if (mine.size == 0 || !ReadHeader(journal, mine.size, &header)) {
    // Empty, or cut short before its first sync: the raster never changed.
    RemoveFile(path);
    return;
  }
  if (header.name != NameOf(raster)) return;
  FileIdentity raster_id;
  if (!IdentityOf(raster, &raster_id) || raster_id.device != header.device ||
      raster_id.inode != header.inode) {
    // The raster was replaced (or removed) since: the journal is stale.
    RemoveFile(path);
    return;
  }
  RawFile file;
  if (!file.Open(raster, RawFile::Mode::kReadWrite)) return;
  if (PlayBack(journal, mine.size, header, file)) RemoveFile(path);
}

}  // namespace gridio
