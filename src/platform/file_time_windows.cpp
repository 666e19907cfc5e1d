#include "platform/file_time.h"

#include <windows.h>

namespace mirl {
namespace platform {
namespace {

FILETIME ToFiletime(FileTime time) {
  const std::uint64_t ticks = static_cast<std::uint64_t>(time.ticks);
  FILETIME t;
  t.dwLowDateTime = static_cast<DWORD>(ticks & 0xffffffffu);
  t.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return t;
}

}  // namespace

int CompareFileTime(FileTime a, FileTime b) {
  const FILETIME fa = ToFiletime(a);
  const FILETIME fb = ToFiletime(b);
  const LONG order = ::CompareFileTime(&fa, &fb);
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

bool FileTimeToLocalCalendar(FileTime time, CalendarTime* local) {
  // FILETIME is unsigned; a time before 1601 has no Windows calendar time.
  if (time.ticks < 0) return false;
  const FILETIME file_time = ToFiletime(time);
  SYSTEMTIME utc, zoned;
  if (!FileTimeToSystemTime(&file_time, &utc)) return false;
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &zoned)) return false;
  local->year = zoned.wYear;
  local->month = zoned.wMonth;
  local->day = zoned.wDay;
  local->hour = zoned.wHour;
  local->minute = zoned.wMinute;
  local->second = zoned.wSecond;
  local->milliseconds = zoned.wMilliseconds;
  return true;
}

}  // namespace platform
}  // namespace mirl
