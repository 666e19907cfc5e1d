// The sysutil tests' verbs for file times on POSIX: a fixed time zone (TZ),
// a file's last-write time to the nanosecond, and the time text expected
// for it.
#ifndef MIRL_TESTS_SYSUTIL_SYSUTIL_POSIX_FIXTURE_H_
#define MIRL_TESTS_SYSUTIL_SYSUTIL_POSIX_FIXTURE_H_

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sysutil_fixture.h"

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

// Sets the last-write time to unix_seconds + nanoseconds.
inline bool SetTime(const std::string& path, std::int64_t unix_seconds, long nanoseconds) {
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(unix_seconds);
  times[0].tv_nsec = times[1].tv_nsec = nanoseconds;
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

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

#endif  // MIRL_TESTS_SYSUTIL_SYSUTIL_POSIX_FIXTURE_H_
