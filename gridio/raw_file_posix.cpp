#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "raw_file.h"

namespace gridio {

RawFile::~RawFile() { Close(); }

RawFile::RawFile(RawFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

RawFile& RawFile::operator=(RawFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool RawFile::Open(const std::string& path, Mode mode) {
  Close();
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kRead:
      flags |= O_RDONLY;
      break;
    case Mode::kReadWrite:
      flags |= O_RDWR;
      break;
    case Mode::kCreateReadWrite:
      flags |= O_RDWR | O_CREAT;
      break;
    case Mode::kCreateExclusive:
      flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
      break;
  }
  do {
    fd_ = ::open(path.c_str(), flags, 0666);
  } while (fd_ < 0 && errno == EINTR);
  return fd_ >= 0;
}

void RawFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool RawFile::ReadAt(uint64_t offset, void* data, size_t size) const {
  char* out = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = ::pread(fd_, out, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    out += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool RawFile::WriteAt(uint64_t offset, const void* data, size_t size) {
  const char* in = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::pwrite(fd_, in, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    in += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool RawFile::Sync() { return fd_ >= 0 && ::fsync(fd_) == 0; }

bool RawFile::StartWriteBack() {
  return fd_ >= 0 && ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE) == 0;
}

bool RawFile::Truncate(uint64_t size) {
  return fd_ >= 0 && ::ftruncate(fd_, static_cast<off_t>(size)) == 0;
}

namespace {

FileIdentity FromStat(const struct stat& st) {
  FileIdentity id;
  id.device = static_cast<uint64_t>(st.st_dev);
  id.inode = static_cast<uint64_t>(st.st_ino);
  id.size = static_cast<uint64_t>(st.st_size);
  id.modified_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  id.changed_ns = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return id;
}

}  // namespace

bool RawFile::Identity(FileIdentity* identity) const {
  struct stat st;
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return false;
  *identity = FromStat(st);
  return true;
}

bool RawFile::TryLock() {
  // Open-file-description locks: unlike classic POSIX locks they are not
  // dropped when GDAL closes another descriptor of the same file, and they
  // conflict between two opens inside one process.
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  int result;
  do {
    result = ::fcntl(fd_, F_OFD_SETLK, &lock);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

bool IdentityOf(const std::string& path, FileIdentity* identity) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *identity = FromStat(st);
  return true;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

bool RenameFile(const std::string& file, const std::string& target) {
  return std::rename(file.c_str(), target.c_str()) == 0;
}

bool SyncDirectory(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  return synced;
}

int64_t FileClockNow() {
  struct timespec now;
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void PauseMilliseconds(int ms) {
  struct timespec pause = {ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
  }
}

}  // namespace gridio
