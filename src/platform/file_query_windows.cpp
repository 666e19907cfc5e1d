#include "platform/file_query.h"

#include <windows.h>

#include "platform/path_separator.h"

namespace mirl {
namespace platform {
namespace {

FileTime FromFileTime(const FILETIME& time) {
  FileTime t;
  t.ticks = static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                      time.dwLowDateTime);
  return t;
}

void Describe(const WIN32_FIND_DATAA& data, FoundEntry* entry) {
  entry->name = data.cFileName;
  entry->is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  entry->size = entry->is_directory
                    ? 0
                    : (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  entry->last_write = FromFileTime(data.ftLastWriteTime);
}

}  // namespace

struct FileFind::Search {
  ~Search() {
    if (handle != INVALID_HANDLE_VALUE) FindClose(handle);
  }
  HANDLE handle = INVALID_HANDLE_VALUE;
};

FileFind::FileFind() = default;
FileFind::~FileFind() = default;

bool FileFind::First(const std::string& pattern, FoundEntry* entry) {
  Close();
  if (pattern.empty()) return false;
  WIN32_FIND_DATAA data;
  auto search = std::make_unique<Search>();
  search->handle = FindFirstFileA(ToNativePath(pattern).c_str(), &data);
  if (search->handle == INVALID_HANDLE_VALUE) return false;
  Describe(data, entry);
  search_ = std::move(search);
  return true;
}

bool FileFind::Next(FoundEntry* entry) {
  if (search_ == nullptr) return false;
  WIN32_FIND_DATAA data;
  if (!FindNextFileA(search_->handle, &data)) return false;
  Describe(data, entry);
  return true;
}

void FileFind::Close() { search_.reset(); }

}  // namespace platform
}  // namespace mirl
