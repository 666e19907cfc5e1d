// fileinfo's text for a file time: local time as "%02d %s %d, %02d:%02d:%02d:%03d"
// (day, English month abbreviation, year, hour, minute, second,
// milliseconds), for example "14 Feb 2009, 02:31:30:250".
//
// Thread safety: as platform::FileTimeToLocalCalendar.
#ifndef MIRL_SYSUTIL_TIME_TEXT_H_
#define MIRL_SYSUTIL_TIME_TEXT_H_

#include <string>

#include "platform/file_time.h"

namespace mirl {
namespace sysutil {

// The text of a calendar time; month must be 1..12.
std::string FormatTimeText(const platform::CalendarTime& time);

// The text of a file time in the current zone. Throws std::runtime_error
// when the time has no calendar form or its text would not fit the
// kTimeTextBytes that callers provide (a year outside 0..9999).
std::string FileTimeText(platform::FileTime time);

}  // namespace sysutil
}  // namespace mirl

#endif  // MIRL_SYSUTIL_TIME_TEXT_H_
