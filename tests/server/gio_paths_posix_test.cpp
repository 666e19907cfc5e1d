#include <gtest/gtest.h>

#include "server/gio.h"

namespace {

using grd_svr::CGIO;

TEST(GioResolvePathTest, CompletePathIgnoresTheBase) {
  EXPECT_EQ(CGIO::ResolvePath("/data", "/other/dem"), "/other/dem");
}

TEST(GioResolvePathTest, RelativeNameIsJoinedWithOneSeparator) {
  EXPECT_EQ(CGIO::ResolvePath("/data", "dem"), "/data/dem");
  EXPECT_EQ(CGIO::ResolvePath("/data/", "grids/dem"), "/data/grids/dem");
  EXPECT_EQ(CGIO::ResolvePath("work", "dem"), "work/dem");
}

TEST(GioResolvePathTest, DriveLettersAreOrdinaryNamesWhereThereAreNoDrives) {
  // Only a name that starts at the root is complete here.
  EXPECT_EQ(CGIO::ResolvePath("/data", "C:dem"), "/data/C:dem");
  EXPECT_EQ(CGIO::ResolvePath("/data", "C:/dem"), "/data/C:/dem");
}

}  // namespace
