// Searches of the file system by pattern (FindFirstFileA, FindNextFileA,
// FindClose). A pattern is a path (separators as in path_separator.h) whose
// last component may hold the wildcards of wildcard_match.h; without a
// wildcard it names one file or directory.
//
// A wildcard search lists the directory part of the pattern (the current
// directory when there is none), "." and ".." included, as Windows does, so
// a search for "<dir>/*" succeeds on an empty directory. A search never
// descends into subdirectories. Symbolic links are followed; a link that
// leads nowhere is reported as itself.
//
// Ownership: a FileFind owns its open search and closes it when destroyed.
// Thread safety: one FileFind per thread; distinct objects are independent.
#ifndef MIRL_PLATFORM_FILE_QUERY_H_
#define MIRL_PLATFORM_FILE_QUERY_H_

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_time.h"

namespace mirl {
namespace platform {

struct FoundEntry {
  std::string name;  // the last component only
  bool is_directory = false;
  std::uint64_t size = 0;  // bytes; 0 for a directory
  FileTime last_write;
};

class FileFind {
 public:
  FileFind();
  ~FileFind();
  FileFind(const FileFind&) = delete;
  FileFind& operator=(const FileFind&) = delete;

  // FindFirstFileA: closes any earlier search, starts one over pattern and
  // stores its first match. False when nothing matches or the directory
  // cannot be read; no search is then open.
  bool First(const std::string& pattern, FoundEntry* entry);

  // FindNextFileA: stores the next match. False when there is none left (or
  // no search is open).
  bool Next(FoundEntry* entry);

  // FindClose. Harmless when no search is open.
  void Close();

 private:
  struct Search;
  std::unique_ptr<Search> search_;
};

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_FILE_QUERY_H_
