#include "platform/file_query.h"

#include <dirent.h>
#include <sys/stat.h>

#include <limits>

#include "platform/path_separator.h"
#include "platform/wildcard_match.h"

namespace mirl {
namespace platform {
namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kEpochOffsetSeconds = 11644473600;  // 1601 to 1970

// Times beyond what FileTime can count (some 29,000 years either side)
// saturate instead of wrapping round.
FileTime ToFileTime(const struct timespec& ts) {
  constexpr std::int64_t kMaxSeconds =
      std::numeric_limits<std::int64_t>::max() / kTicksPerSecond - kEpochOffsetSeconds - 1;
  constexpr std::int64_t kMinSeconds =
      std::numeric_limits<std::int64_t>::min() / kTicksPerSecond - kEpochOffsetSeconds + 1;
  FileTime t;
  const std::int64_t sec = static_cast<std::int64_t>(ts.tv_sec);
  if (sec > kMaxSeconds) {
    t.ticks = std::numeric_limits<std::int64_t>::max();
  } else if (sec < kMinSeconds) {
    t.ticks = std::numeric_limits<std::int64_t>::min();
  } else {
    t.ticks = (sec + kEpochOffsetSeconds) * kTicksPerSecond + ts.tv_nsec / 100;
  }
  return t;
}

// Describes the object at path; false when it is gone (even as a link).
bool Describe(const std::string& path, const std::string& name, FoundEntry* entry) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 && lstat(path.c_str(), &st) != 0) return false;
  entry->name = name;
  entry->is_directory = S_ISDIR(st.st_mode);
  entry->size = entry->is_directory || st.st_size < 0 ? 0 : static_cast<std::uint64_t>(st.st_size);
  entry->last_write = ToFileTime(st.st_mtim);
  return true;
}

}  // namespace

struct FileFind::Search {
  ~Search() {
    if (dir != nullptr) closedir(dir);
  }
  DIR* dir = nullptr;
  std::string directory;  // joined in front of each name, separator included
  std::string name_pattern;
  int dot_entries_done = 0;  // "." and ".." come first, then the listing

  bool Advance(FoundEntry* entry) {
    if (dir == nullptr) return false;
    while (dot_entries_done < 2) {
      const std::string name = dot_entries_done++ == 0 ? "." : "..";
      if (MatchesWildcard(name_pattern, name) && Describe(directory + name, name, entry))
        return true;
    }
    while (const struct dirent* d = readdir(dir)) {
      const std::string name = d->d_name;
      if (name == "." || name == "..") continue;
      if (MatchesWildcard(name_pattern, name) && Describe(directory + name, name, entry))
        return true;
    }
    return false;
  }
};

FileFind::FileFind() = default;
FileFind::~FileFind() = default;

bool FileFind::First(const std::string& pattern, FoundEntry* entry) {
  Close();
  const std::string path = ToNativePath(pattern);
  const std::size_t cut = path.rfind('/');
  const std::string last = cut == std::string::npos ? path : path.substr(cut + 1);
  // A literal pattern yields its one entry at First and nothing after.
  if (!HasWildcard(last)) return !path.empty() && Describe(path, last, entry);

  auto search = std::make_unique<Search>();
  // "x*" lists ".", "/x*" lists "/", "a/b/x*" lists "a/b".
  const std::string listed = cut == std::string::npos ? "." : cut == 0 ? "/" : path.substr(0, cut);
  search->directory = cut == std::string::npos ? "" : path.substr(0, cut + 1);
  search->name_pattern = last;
  search->dir = opendir(listed.c_str());
  if (search->dir == nullptr || !search->Advance(entry)) return false;
  search_ = std::move(search);
  return true;
}

bool FileFind::Next(FoundEntry* entry) { return search_ != nullptr && search_->Advance(entry); }

void FileFind::Close() { search_.reset(); }

}  // namespace platform
}  // namespace mirl
