#include "platform/file_time.h"

#include <time.h>

#include <limits>

namespace mirl {
namespace platform {
namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kTicksPerMillisecond = 10000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochOffsetSeconds = 11644473600;

}  // namespace

int CompareFileTime(FileTime a, FileTime b) {
  if (a.ticks < b.ticks) return -1;
  return a.ticks > b.ticks ? 1 : 0;
}

bool FileTimeToLocalCalendar(FileTime time, CalendarTime* local) {
  // Floor division, so that times before 1601 keep a non-negative fraction.
  std::int64_t seconds = time.ticks / kTicksPerSecond;
  std::int64_t rest = time.ticks % kTicksPerSecond;
  if (rest < 0) {
    rest += kTicksPerSecond;
    --seconds;
  }
  const std::int64_t unix_seconds = seconds - kEpochOffsetSeconds;
  if constexpr (sizeof(time_t) < sizeof(std::int64_t)) {
    if (unix_seconds < std::numeric_limits<time_t>::min() ||
        unix_seconds > std::numeric_limits<time_t>::max())
      return false;
  }
  const time_t t = static_cast<time_t>(unix_seconds);
  // localtime_r is not obliged to look at TZ again; tzset makes it.
  tzset();
  struct tm tm;
  if (localtime_r(&t, &tm) == nullptr) return false;
  if (tm.tm_year > std::numeric_limits<int>::max() - 1900) return false;
  local->year = tm.tm_year + 1900;
  local->month = tm.tm_mon + 1;
  local->day = tm.tm_mday;
  local->hour = tm.tm_hour;
  local->minute = tm.tm_min;
  local->second = tm.tm_sec;
  local->milliseconds = static_cast<int>(rest / kTicksPerMillisecond);
  return true;
}

}  // namespace platform
}  // namespace mirl
