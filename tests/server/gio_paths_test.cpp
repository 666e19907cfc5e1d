#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <fstream>

#include "server/gio.h"
#include "support/temp_dir.h"

namespace {

namespace fs = boost::filesystem;
using grd_svr::CGIO;

TEST(GioResolvePathTest, EmptyBaseReturnsTheNameUnchanged) {
  EXPECT_EQ(CGIO::ResolvePath("", "grids/dem"), "grids/dem");
  EXPECT_EQ(CGIO::ResolvePath("", " dem "), " dem ");
  EXPECT_EQ(CGIO::ResolvePath("", ""), "");
}

// Complete and relative names of each platform: gio_paths_posix_test.cpp,
// gio_paths_windows_test.cpp.

class GioDirectoryTest : public ::testing::Test {
 protected:
  void MakeFile(const fs::path& path) { std::ofstream(path.string()) << "x"; }
  mirl_test::TempDir dir_;
};

TEST_F(GioDirectoryTest, IsDirectoryOnlyForExistingDirectories) {
  MakeFile(dir_.path() / "file");
  EXPECT_TRUE(CGIO::IsDirectory(dir_.str()));
  EXPECT_FALSE(CGIO::IsDirectory(dir_.file("file")));
  EXPECT_FALSE(CGIO::IsDirectory(dir_.file("missing")));
  EXPECT_FALSE(CGIO::IsDirectory(""));
}

TEST_F(GioDirectoryTest, EmptyLeftoverDirectoryIsRemoved) {
  fs::create_directory(dir_.path() / "g");
  EXPECT_TRUE(CGIO::RemoveLeftoverDirectory(dir_.file("g")));
  EXPECT_FALSE(fs::exists(dir_.path() / "g"));
}

TEST_F(GioDirectoryTest, DirectoryHoldingADirectoryIsKept) {
  fs::create_directories(dir_.path() / "g" / "sub");
  MakeFile(dir_.path() / "g" / "file");
  EXPECT_FALSE(CGIO::RemoveLeftoverDirectory(dir_.file("g")));
  EXPECT_TRUE(fs::exists(dir_.path() / "g" / "sub"));
  EXPECT_TRUE(fs::exists(dir_.path() / "g" / "file"));
}

TEST_F(GioDirectoryTest, DirectoryHoldingFilesIsNotEmptiedAndTheRemovalThrows) {
  fs::create_directory(dir_.path() / "g");
  MakeFile(dir_.path() / "g" / "layer.tif");
  EXPECT_THROW(CGIO::RemoveLeftoverDirectory(dir_.file("g")), fs::filesystem_error);
  EXPECT_TRUE(fs::exists(dir_.path() / "g" / "layer.tif"));
}

TEST_F(GioDirectoryTest, PlainFileOrNothingAtThePathLeavesNoDirectory) {
  MakeFile(dir_.path() / "g");
  EXPECT_TRUE(CGIO::RemoveLeftoverDirectory(dir_.file("g")));
  EXPECT_FALSE(fs::exists(dir_.path() / "g"));
  EXPECT_TRUE(CGIO::RemoveLeftoverDirectory(dir_.file("missing")));
}

}  // namespace
