// A small disk for tests of what happens when one fills up: a tmpfs of a
// given size, mounted over a directory in a child process that has a mount
// namespace of its own, so that nothing outside the child ever sees it and
// nothing is left mounted when the child ends. POSIX only.
#ifndef MIRL_TESTS_SUPPORT_SMALL_DISK_H_
#define MIRL_TESTS_SUPPORT_SMALL_DISK_H_

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace mirl_test {

// What OnSmallDisk returns when this machine does not let a test mount one.
constexpr int kNoSmallDisk = 77;

// Runs check() in a child process that sees a file system of `bytes` bytes
// mounted over dir (which must exist); returns check's result as the
// child's exit status, kNoSmallDisk when no such file system can be made
// here, or -1 when the child did not exit.
template <typename Check>
int OnSmallDisk(const std::string& dir, unsigned long bytes, Check check) {
  const pid_t child = fork();
  if (child == 0) {
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", dir.c_str(), "tmpfs", 0, ("size=" + std::to_string(bytes)).c_str()) != 0) {
      _exit(kNoSmallDisk);
    }
    _exit(check());
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Fills the file system that holds dir until at most `leave` bytes are
// free, with a file named ballast in dir; false when it cannot.
inline bool FillDisk(const std::string& dir, unsigned long leave) {
  struct statvfs fs;
  if (statvfs(dir.c_str(), &fs) != 0) return false;
  const unsigned long long free_bytes =
      static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize;
  if (free_bytes <= leave) return true;
  const int fd = ::open((dir + "/ballast").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  std::vector<char> chunk(4096, 'b');
  unsigned long long left = free_bytes - leave;
  while (left > 0) {
    const size_t n = left < chunk.size() ? static_cast<size_t>(left) : chunk.size();
    const ssize_t written = ::write(fd, chunk.data(), n);
    if (written <= 0) break;
    left -= static_cast<unsigned long long>(written);
  }
  ::close(fd);
  return true;
}

}  // namespace mirl_test

#endif  // MIRL_TESTS_SUPPORT_SMALL_DISK_H_
