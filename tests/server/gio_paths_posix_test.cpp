#include <gtest/gtest.h>

#include <boost/filesystem.hpp>

#include "server/gio.h"
#include "support/temp_dir.h"

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

// Links to directories as the POSIX file systems make them.
TEST(GioLeftoverDirectoryTest, DirectoryHoldingALinkToADirectoryIsKeptWithoutThrowing) {
  namespace fs = boost::filesystem;
  mirl_test::TempDir dir;
  fs::create_directories(dir.path() / "elsewhere" / "inner");
  fs::create_directory(dir.path() / "g");
  fs::create_directory_symlink(dir.path() / "elsewhere", dir.path() / "g" / "link");
  EXPECT_FALSE(CGIO::RemoveLeftoverDirectory(dir.file("g")));
  EXPECT_TRUE(fs::exists(dir.path() / "g" / "link" / "inner"));
}

}  // namespace
