// Verbs shared by the sysutil tests: files of a given size and time in a
// fresh directory, a fixed time zone, and caller buffers fenced by guard bytes
// so that a write past the documented size shows.
#ifndef MIRL_TESTS_SYSUTIL_SYSUTIL_FIXTURE_H_
#define MIRL_TESTS_SYSUTIL_SYSUTIL_FIXTURE_H_

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace mirl_test {

// Sets TZ for the lifetime of the object and restores it afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    const char* old = std::getenv("TZ");
    had_old_ = old != nullptr;
    if (had_old_) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (had_old_) {
      setenv("TZ", old_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  bool had_old_ = false;
  std::string old_;
};

// A caller's buffer: `room` usable bytes pre-filled with a string, then guard
// bytes that no export may touch.
class GuardedBuffer {
 public:
  static constexpr std::size_t kGuard = 64;
  static constexpr char kGuardByte = '\x5a';

  GuardedBuffer(std::size_t room, const std::string& content) : bytes_(room + kGuard, kGuardByte) {
    std::memcpy(bytes_.data(), content.c_str(), content.size() + 1);
    room_ = room;
  }
  char* data() { return bytes_.data(); }
  std::string str() const { return std::string(bytes_.data()); }
  bool GuardIntact() const {
    for (std::size_t i = room_; i < bytes_.size(); ++i)
      if (bytes_[i] != kGuardByte) return false;
    return true;
  }

 private:
  std::vector<char> bytes_;
  std::size_t room_ = 0;
};

class FilesFixture : public ::testing::Test {
 protected:
  // Creates (or replaces) a file of exactly `bytes` bytes below the directory.
  std::string MakeFile(const std::string& rel, std::uint64_t bytes) {
    const std::string path = dir_.file(rel);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_GE(fd, 0) << path;
    EXPECT_EQ(ftruncate(fd, static_cast<off_t>(bytes)), 0);
    close(fd);
    return path;
  }
  std::string MakeDir(const std::string& rel) {
    const std::string path = dir_.file(rel);
    boost::filesystem::create_directories(path);
    return path;
  }
  // Sets the last-write time to unix_seconds + nanoseconds.
  static bool SetTime(const std::string& path, std::int64_t unix_seconds, long nanoseconds) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(unix_seconds);
    times[0].tv_nsec = times[1].tv_nsec = nanoseconds;
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
  }

  TempDir dir_;
};

// The expected time text, computed from UTC by hand: the zone is a fixed
// offset, so local time is UTC shifted by it.
inline std::string ExpectedTimeText(std::int64_t unix_seconds, long nanoseconds,
                                    int utc_offset_seconds) {
  static const char* const kMonth[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const time_t shifted = static_cast<time_t>(unix_seconds + utc_offset_seconds);
  struct tm tm;
  gmtime_r(&shifted, &tm);
  char text[64];
  std::snprintf(text, sizeof text, "%02d %s %d, %02d:%02d:%02d:%03d", tm.tm_mday, kMonth[tm.tm_mon],
                tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<int>(nanoseconds / 1000000));
  return text;
}

}  // namespace mirl_test

#endif  // MIRL_TESTS_SYSUTIL_SYSUTIL_FIXTURE_H_
