#include <string>

#include <gtest/gtest.h>

#include "platform/file_time.h"
#include "sysutil/time_text.h"
#include "sysutil_posix_fixture.h"

namespace {

using mirl::platform::CalendarTime;
using mirl::platform::CompareFileTime;
using mirl::platform::FileTime;
using mirl::platform::FileTimeToLocalCalendar;

// 100-ns ticks of a Unix time, counted from 1601 as Windows does.
FileTime FromUnix(std::int64_t seconds, std::int64_t hundreds_of_ns) {
  FileTime t;
  t.ticks = (seconds + 11644473600LL) * 10000000LL + hundreds_of_ns;
  return t;
}

TEST(FileTimeTest, CompareOrdersByTicks) {
  EXPECT_EQ(CompareFileTime(FromUnix(5, 0), FromUnix(5, 1)), -1);
  EXPECT_EQ(CompareFileTime(FromUnix(5, 1), FromUnix(5, 0)), 1);
  EXPECT_EQ(CompareFileTime(FromUnix(5, 3), FromUnix(5, 3)), 0);
  EXPECT_EQ(CompareFileTime(FromUnix(-5, 0), FromUnix(5, 0)), -1);
}

TEST(FileTimeTest, LocalCalendarFollowsTheCurrentZone) {
  const FileTime t = FromUnix(1234567890, 2509999);  // 23:31:30.2509999 UTC, 13 Feb 2009
  CalendarTime c;
  {
    mirl_test::ScopedTimeZone zone("UTC0");
    ASSERT_TRUE(FileTimeToLocalCalendar(t, &c));
    EXPECT_EQ(c.day, 13);
    EXPECT_EQ(c.hour, 23);
    EXPECT_EQ(c.milliseconds, 250);
  }
  {
    // A change of TZ between calls is seen.
    mirl_test::ScopedTimeZone zone("XST-3");
    ASSERT_TRUE(FileTimeToLocalCalendar(t, &c));
    EXPECT_EQ(c.year, 2009);
    EXPECT_EQ(c.month, 2);
    EXPECT_EQ(c.day, 14);
    EXPECT_EQ(c.hour, 2);
    EXPECT_EQ(c.minute, 31);
    EXPECT_EQ(c.second, 30);
  }
  {
    mirl_test::ScopedTimeZone zone("WST+5:30");
    ASSERT_TRUE(FileTimeToLocalCalendar(t, &c));
    EXPECT_EQ(c.day, 13);
    EXPECT_EQ(c.hour, 18);
    EXPECT_EQ(c.minute, 1);
  }
}

TEST(FileTimeTest, TimesBefore1970KeepAPositiveFraction) {
  mirl_test::ScopedTimeZone zone("UTC0");
  CalendarTime c;
  // 0.75 s before the Unix epoch is 23:59:59.250 on 31 Dec 1969.
  ASSERT_TRUE(FileTimeToLocalCalendar(FromUnix(0, -7500000), &c));
  EXPECT_EQ(c.year, 1969);
  EXPECT_EQ(c.second, 59);
  EXPECT_EQ(c.milliseconds, 250);
  ASSERT_TRUE(FileTimeToLocalCalendar(FileTime(), &c));
  EXPECT_EQ(c.year, 1601);
  EXPECT_EQ(c.month, 1);
  EXPECT_EQ(c.day, 1);
}

TEST(TimeTextTest, FieldsArePaddedAsTheFormatSays) {
  CalendarTime c;
  c.year = 2009;
  c.month = 1;
  c.day = 9;
  c.hour = 4;
  c.minute = 3;
  c.second = 7;
  c.milliseconds = 5;
  EXPECT_EQ(mirl::sysutil::FormatTimeText(c), "09 Jan 2009, 04:03:07:005");
  c.month = 12;
  c.day = 31;
  c.year = 987;  // the year is not padded
  EXPECT_EQ(mirl::sysutil::FormatTimeText(c), "31 Dec 987, 04:03:07:005");
}

TEST(TimeTextTest, FourDigitYearsFitAndOthersThrow) {
  mirl_test::ScopedTimeZone zone("UTC0");
  const std::string latest = mirl::sysutil::FileTimeText(FromUnix(253402300799, 9999999));
  EXPECT_EQ(latest, "31 Dec 9999, 23:59:59:999");
  EXPECT_EQ(latest.size() + 1, 26u);
  EXPECT_THROW(mirl::sysutil::FileTimeText(FromUnix(253402300800, 0)), std::runtime_error);
  FileTime huge;
  huge.ticks = INT64_MAX;
  EXPECT_THROW(mirl::sysutil::FileTimeText(huge), std::runtime_error);
}

}  // namespace
