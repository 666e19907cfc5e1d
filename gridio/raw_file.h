// A file reached byte by byte, beside GDAL: what updating a layer in place,
// its rollback journal and its kept statistics need from the operating
// system. The OS calls live in raw_file_posix.cpp.
//
// Ownership: a RawFile owns its descriptor and closes it when it goes,
// which also releases its lock. Not thread-safe; used under the library lock.
#ifndef GRIDIO_RAW_FILE_H_
#define GRIDIO_RAW_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace gridio {

// What tells one version of a file from another without reading it: a
// file replaced (new inode), rewritten (size, modification time) or touched
// in any way that resets its times (change time) differs in some field.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t modified_ns = 0;
  int64_t changed_ns = 0;

  bool operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified_ns == other.modified_ns && changed_ns == other.changed_ns;
  }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

class RawFile {
 public:
  enum class Mode { kRead, kReadWrite, kCreateReadWrite, kCreateExclusive };

  RawFile() = default;
  ~RawFile();
  RawFile(RawFile&& other) noexcept;
  RawFile& operator=(RawFile&& other) noexcept;
  RawFile(const RawFile&) = delete;
  RawFile& operator=(const RawFile&) = delete;

  // False when path cannot be opened so (kCreateReadWrite creates it when
  // missing and keeps what it holds otherwise; kCreateExclusive creates it
  // read-write and fails when anything is at path).
  bool Open(const std::string& path, Mode mode);
  bool is_open() const { return fd_ >= 0; }
  void Close();

  // Whole transfers; false on any failure or short count (a read past the
  // end of the file is short).
  bool ReadAt(uint64_t offset, void* data, size_t size) const;
  bool WriteAt(uint64_t offset, const void* data, size_t size);
  bool Sync();
  // Starts writing the file's dirty pages out without waiting for them, so
  // that a later Sync has less left to wait for. A hint: false changes
  // nothing.
  bool StartWriteBack();
  bool Truncate(uint64_t size);
  bool Identity(FileIdentity* identity) const;

  // An exclusive lock on the open file itself, held until Close, never
  // waiting: false when another open of the file (in any process, this one
  // included) holds it. The lock goes with the process, so a killed
  // writer's lock is free at once.
  bool TryLock();

 private:
  int fd_ = -1;
};

// The identity of the file at path; false when there is none.
bool IdentityOf(const std::string& path, FileIdentity* identity);

// Removes the file at path; true when it is gone (or was never there).
bool RemoveFile(const std::string& path);

// Renames file over target in one atomic step.
bool RenameFile(const std::string& file, const std::string& target);

// Forces the directory's entries (files created, renamed or removed in it)
// to the disk. False when it cannot.
bool SyncDirectory(const std::string& dir);

// The clock that stamps file times, coarse as the kernel keeps it, in ns.
int64_t FileClockNow();

// Pauses the calling thread.
void PauseMilliseconds(int ms);

}  // namespace gridio

#endif  // GRIDIO_RAW_FILE_H_
