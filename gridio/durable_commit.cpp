#include "durable_commit.h"

#include <filesystem>

#include "durable_file.h"
#include "raw_file.h"

namespace gridio {

bool CommitFileDurably(const std::string& file, const std::string& target) {
  RawFile written;
  if (!written.Open(file, RawFile::Mode::kRead) || !written.Sync()) return false;
  written.Close();
  if (!CommitFile(file, target)) return false;
  // The rename is done either way; a directory that cannot be forced only
  // leaves it to the system's next write-back.
  SyncDirectory(std::filesystem::path(target).parent_path().string());
  return true;
}

}  // namespace gridio
