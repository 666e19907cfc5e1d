// A file that a writer fills beside its destination and then renames into
// place, so that readers see the old destination or the whole new one.
//
// The file is hidden and named after its destination and its writer
// (".<name>.gridio-<pid>-<n>.partial", in the directory that holds the
// destination). Its writer holds an exclusive lock on it from creation to
// its rename or removal; the kernel frees the lock when the writer dies, so
// SweepPartialFiles can tell a killed writer's leftover from a live
// writer's work, in this process or any other, without trusting process ids.
//
// Ownership: a PartialFile owns its file until CommitTo renames it; the
// destructor removes a file that was not committed. Not thread-safe; used
// under the library lock.
#ifndef GRIDIO_PARTIAL_FILE_H_
#define GRIDIO_PARTIAL_FILE_H_

#include <string>

#include "raw_file.h"

namespace gridio {

class PartialFile {
 public:
  // Creates and locks a fresh partial file for the destination beside (an
  // absolute path: a layer directory, or a file). Throws
  // GioError(GIO_ERR_CREATE) when none can be made.
  explicit PartialFile(const std::string& beside);
  ~PartialFile();
  PartialFile(const PartialFile&) = delete;
  PartialFile& operator=(const PartialFile&) = delete;

  const std::string& path() const { return path_; }

  // Renames the file over target (an existing target is replaced in one
  // step, target's directory made when missing). durable: the file is forced
  // to the disk before the rename and target's directory after, so that a
  // power loss leaves the old target or the whole new one. False when it
  // cannot be done; the file is then still this object's.
  bool CommitTo(const std::string& target, bool durable);

  // Starts writing out what is written so far (RawFile::StartWriteBack),
  // so that a durable commit waits for less.
  void StartWriteBack() { lock_.StartWriteBack(); }

  // Removes the file now.
  void Discard();

 private:
  std::string path_;
  RawFile lock_;
};

// Removes the partial files in dir whose writers are gone; with
// destination_name set, only those of that destination. Never touches a
// live writer's file. Returns how many it removed.
int SweepPartialFiles(const std::string& dir, const std::string& destination_name = std::string());

}  // namespace gridio

#endif  // GRIDIO_PARTIAL_FILE_H_
