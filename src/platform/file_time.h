// File times as the file system keeps them, and their conversion to the local
// calendar. A FileTime counts 100-nanosecond intervals since 1601-01-01 UTC on
// every platform (Windows' FILETIME), so that comparing and summarising file
// times is the same code everywhere.
//
// Thread safety: CompareFileTime is pure. FileTimeToLocalCalendar reads the
// process's time-zone setting (TZ on POSIX) and must not run while another
// thread changes it.
#ifndef MIRL_PLATFORM_FILE_TIME_H_
#define MIRL_PLATFORM_FILE_TIME_H_

#include <cstdint>

namespace mirl {
namespace platform {

struct FileTime {
  std::int64_t ticks = 0;  // 100 ns since 1601-01-01 00:00:00 UTC
};

// CompareFileTime: -1 when a is earlier than b, 0 when equal, 1 when later.
int CompareFileTime(FileTime a, FileTime b);

// A calendar time in the local time zone, month 1..12, milliseconds 0..999.
struct CalendarTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;
};

// FileTimeToSystemTime followed by SystemTimeToTzSpecificLocalTime in the
// current zone (re-read on every call, so a changed TZ takes effect). The
// fraction below a millisecond is dropped. False when the time cannot be
// represented as a calendar time.
bool FileTimeToLocalCalendar(FileTime time, CalendarTime* local);

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_FILE_TIME_H_
