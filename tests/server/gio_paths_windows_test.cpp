#include <gtest/gtest.h>

#include "server/gio.h"

namespace {

using grd_svr::CGIO;

// A complete name has a root name (a drive or a share) and a root
// directory; every other name is joined to the base with a backslash.
TEST(GioResolvePathTest, DriveAndRootMakeANameComplete) {
  EXPECT_EQ(CGIO::ResolvePath("C:\\data", "D:\\other\\dem"), "D:\\other\\dem");
  EXPECT_EQ(CGIO::ResolvePath("C:\\data", "D:/other/dem"), "D:/other/dem");
  EXPECT_EQ(CGIO::ResolvePath("C:\\data", "\\\\server\\share\\dem"), "\\\\server\\share\\dem");
}

TEST(GioResolvePathTest, ADriveWithoutRootOrARootWithoutDriveIsJoined) {
  EXPECT_EQ(CGIO::ResolvePath("C:\\data", "dem"), "C:\\data\\dem");
  EXPECT_EQ(CGIO::ResolvePath("C:\\data", "C:dem"), "C:\\data\\C:dem");
  EXPECT_EQ(CGIO::ResolvePath("C:\\data", "\\other\\dem"), "C:\\data\\other\\dem");
  EXPECT_EQ(CGIO::ResolvePath("work", "dem"), "work\\dem");
}

}  // namespace
