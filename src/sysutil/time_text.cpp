#include "sysutil/time_text.h"

#include <stdexcept>

#include <boost/format.hpp>

#include "sysutil/sysutil_limits.h"

namespace mirl {
namespace sysutil {
namespace {

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::string FormatTimeText(const platform::CalendarTime& time) {
  return boost::str(boost::format("%02d %s %d, %02d:%02d:%02d:%03d") % time.day %
                    kMonths[time.month - 1] % time.year % time.hour % time.minute % time.second %
                    time.milliseconds);
}

std::string FileTimeText(platform::FileTime time) {
  platform::CalendarTime local;
  if (!platform::FileTimeToLocalCalendar(time, &local) || local.month < 1 || local.month > 12)
    throw std::runtime_error("file time has no calendar form");
  std::string text = FormatTimeText(local);
  if (text.size() + 1 > kTimeTextBytes)
    throw std::runtime_error("file time text does not fit the caller's buffer");
  return text;
}

}  // namespace sysutil
}  // namespace mirl
