#include "partial_file.h"

#include <atomic>
#include <filesystem>
#include <system_error>

#include "avgridio.h"
#include "durable_file.h"
#include "gio_error.h"

namespace gridio {

namespace fs = std::filesystem;

namespace {

constexpr const char* kMark = ".gridio-";
constexpr const char* kSuffix = ".partial";
// A name taken by someone else between our choice and our create.
constexpr int kCreateTries = 64;

std::string StemFor(const std::string& destination_name) {
  return "." + destination_name + kMark;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool IsPartialName(const std::string& name, const std::string& destination_name) {
  if (name.size() < 2 || name[0] != '.' || !EndsWith(name, kSuffix)) return false;
  if (!destination_name.empty()) return name.compare(0, StemFor(destination_name).size(),
                                                     StemFor(destination_name)) == 0;
  return name.find(kMark) != std::string::npos;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.device == b.device && a.inode == b.inode;
}

// Whether the file at path is the one open as file.
bool StillNamed(const RawFile& file, const std::string& path) {
  FileIdentity mine, named;
  return file.Identity(&mine) && IdentityOf(path, &named) && SameFile(mine, named);
}

}  // namespace

PartialFile::PartialFile(const std::string& beside) {
  static std::atomic<unsigned long> counter{0};
  const fs::path destination(beside);
  const std::string stem = (destination.parent_path() / StemFor(destination.filename().string()))
                               .string() +
                           std::to_string(CurrentProcessId()) + "-";
  for (int attempt = 0; attempt < kCreateTries; ++attempt) {
    const std::string candidate = stem + std::to_string(counter++) + kSuffix;
    if (!lock_.Open(candidate, RawFile::Mode::kCreateExclusive)) continue;
    // A sweep may have removed the file between its creation and our lock:
    // it would then be no one's, and we start again under a new name.
    if (lock_.TryLock() && StillNamed(lock_, candidate)) {
      path_ = candidate;
      return;
    }
    lock_.Close();
  }
  Fail(GIO_ERR_CREATE);
}

PartialFile::~PartialFile() { Discard(); }

bool PartialFile::CommitTo(const std::string& target, bool durable) {
  if (path_.empty()) return false;
  // Forced through our own descriptor: what the writer (GDAL, or this
  // library) wrote through any descriptor of the file is in its pages.
  if (durable && !lock_.Sync()) return false;
  if (!CommitFile(path_, target)) return false;
  path_.clear();
  lock_.Close();
  // The rename is done either way; a directory that cannot be forced only
  // leaves it to the system's next write-back.
  if (durable) SyncDirectory(fs::path(target).parent_path().string());
  return true;
}

void PartialFile::Discard() {
  if (path_.empty()) return;
  RemoveFile(path_);
  path_.clear();
  lock_.Close();
}

int SweepPartialFiles(const std::string& dir, const std::string& destination_name) {
  int removed = 0;
  std::error_code ec;
  fs::directory_iterator it(dir, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!IsPartialName(name, destination_name)) continue;
    const std::string path = it->path().string();
    RawFile file;
    // Locked: a live writer's. Replaced since we opened it: look again later.
    if (!file.Open(path, RawFile::Mode::kReadWrite) || !file.TryLock() || !StillNamed(file, path))
      continue;
    if (RemoveFile(path)) ++removed;
  }
  return removed;
}

}  // namespace gridio
