#include <sys/statvfs.h>

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "exports/sysutil_api.h"
#include "sysutil_posix_fixture.h"

namespace {

using mirl_test::ExpectedTimeText;
using mirl_test::GuardedBuffer;
using mirl_test::SetTime;

// A zone three hours east of UTC without daylight saving.
constexpr const char* kZone = "XST-3";
constexpr int kZoneOffset = 3 * 3600;
constexpr double kFreeTolerance = 0.01;

double AvailableMillions(const std::string& path) {
  struct statvfs vfs;
  if (statvfs(path.c_str(), &vfs) != 0) return -1;
  return static_cast<double>(vfs.f_bavail) * static_cast<double>(vfs.f_frsize) / 1e6;
}

struct Info {
  int code;
  std::string text;
  double size;
  int free_space;
  bool guard_intact;
};

class FileInfoTest : public mirl_test::FilesFixture {
 protected:
  FileInfoTest() : cwd_(dir_.path()), zone_(kZone) {}

  // Calls fileinfo with outputs pre-set to values it must overwrite or keep.
  static Info Call(const std::string& path) {
    GuardedBuffer text(MIRL_FILEINFO_TEXT_BYTES, "untouched");
    double size = 99;
    int free_space = -7;
    const int code = fileinfo(path.c_str(), text.data(), &size, &free_space);
    return {code, text.str(), size, free_space, text.GuardIntact()};
  }

  mirl_test::ScopedCwd cwd_;
  mirl_test::ScopedTimeZone zone_;
};

TEST_F(FileInfoTest, OneFileGivesMillionsOfBytesAndItsLocalTime) {
  const std::string f = MakeFile("grid.asc", 2500000);
  ASSERT_TRUE(SetTime(f, 1234567890, 250999999));
  const Info info = Call(f);
  EXPECT_EQ(info.code, 1);
  EXPECT_EQ(info.size, 2.5);  // millions, not 2^20
  // 23:31:30 UTC on the 13th is past midnight three hours east; the
  // milliseconds are cut, not rounded.
  EXPECT_EQ(info.text, "14 Feb 2009, 02:31:30:250");
  EXPECT_EQ(info.text, ExpectedTimeText(1234567890, 250999999, kZoneOffset));
  EXPECT_TRUE(info.guard_intact);
}

TEST_F(FileInfoTest, DirectoryWithOrWithoutTrailingSeparatorSumsItsOwnFiles) {
  MakeDir("d/sub");
  ASSERT_TRUE(SetTime(MakeFile("d/a", 1000000), 1000000000, 0));
  ASSERT_TRUE(SetTime(MakeFile("d/b", 500000), 1300000000, 7000000));
  // Neither the subdirectory's files nor its newer time count.
  ASSERT_TRUE(SetTime(MakeFile("d/sub/c", 3000000), 1600000000, 0));
  ASSERT_TRUE(SetTime(dir_.file("d/sub"), 1700000000, 0));
  const std::string expected = ExpectedTimeText(1300000000, 7000000, kZoneOffset);
  for (const std::string& path : {dir_.file("d"), dir_.file("d") + "/", dir_.file("d") + "\\",
                                  std::string("d"), std::string("d/"), std::string("d\\")}) {
    const Info info = Call(path);
    EXPECT_EQ(info.code, 1) << path;
    EXPECT_DOUBLE_EQ(info.size, 1.5) << path;
    EXPECT_EQ(info.text, expected) << path;
  }
}

TEST_F(FileInfoTest, EmptyDirectoryHasNoSizeAndEmptyText) {
  MakeDir("empty");
  for (const std::string& path : {std::string("empty"), std::string("empty/")}) {
    const Info info = Call(path);
    EXPECT_EQ(info.code, 1) << path;
    EXPECT_EQ(info.size, 0.0) << path;
    EXPECT_EQ(info.text, "") << path;
  }
  // Only subdirectories: still no file.
  MakeDir("only_dirs/x");
  EXPECT_EQ(Call("only_dirs").text, "");
  EXPECT_EQ(Call("only_dirs").code, 1);
}

TEST_F(FileInfoTest, WildcardSumsTheMatchesAndReportsTheNewest) {
  MakeDir("w");
  ASSERT_TRUE(SetTime(MakeFile("w/x1.txt", 100000), 1100000000, 0));
  ASSERT_TRUE(SetTime(MakeFile("w/x22.txt", 200000), 1200000000, 0));
  ASSERT_TRUE(SetTime(MakeFile("w/y.dat", 400000), 1500000000, 0));
  ASSERT_TRUE(SetTime(MakeFile("w/README", 800000), 1000000000, 0));
  MakeDir("w/z.txt");  // a directory that matches is skipped
  struct Case {
    const char* pattern;
    double size;
    std::int64_t newest;
  } cases[] = {
      {"w/*.txt", 0.3, 1200000000},  {"w\\*.txt", 0.3, 1200000000},
      {"w/x?.txt", 0.1, 1100000000}, {"w/x*", 0.3, 1200000000},
      {"w/*", 1.5, 1500000000},      {"w/*.*", 1.5, 1500000000},  // also names without a dot
      {"w/READM?", 0.8, 1000000000},
  };
  for (const Case& c : cases) {
    const Info info = Call(c.pattern);
    EXPECT_EQ(info.code, 1) << c.pattern;
    EXPECT_NEAR(info.size, c.size, 1e-12) << c.pattern;
    EXPECT_EQ(info.text, ExpectedTimeText(c.newest, 0, kZoneOffset)) << c.pattern;
  }
  EXPECT_EQ(Call("w/*.csv").code, -865);
  EXPECT_EQ(Call("w/readme").code, -865);  // names match byte for byte
}

TEST_F(FileInfoTest, MissingPathGivesMinus865AfterSizeAndFreeSpace) {
  for (const std::string& path : {std::string("no_such_file"), std::string("no/such/dir/"),
                                  std::string("none*"), std::string("")}) {
    const Info info = Call(path);
    EXPECT_EQ(info.code, -865) << path;
    EXPECT_EQ(info.size, 0.0) << path;
    EXPECT_EQ(info.text, "untouched") << path;
    const double cwd_free = AvailableMillions(".");
    EXPECT_NEAR(info.free_space, cwd_free, cwd_free * kFreeTolerance + 1) << path;
  }
}

TEST_F(FileInfoTest, FreeSpaceIsThatOfTheFileSystemHoldingThePattern) {
  const std::string other = "/dev/shm";
  const double other_free = AvailableMillions(other);
  const double here_free = AvailableMillions(".");
  if (other_free < 0 || std::fabs(other_free - here_free) < 0.1 * here_free)
    GTEST_SKIP() << "no second file system with a distinct free space";
  const Info there = Call(other + "/mirl-no-such-file*");
  EXPECT_EQ(there.code, -865);
  EXPECT_NEAR(there.free_space, other_free, other_free * kFreeTolerance + 1);
  // A directory part that does not exist falls back to the current directory.
  const Info fallback = Call("/no/such/place/x");
  EXPECT_NEAR(fallback.free_space, here_free, here_free * kFreeTolerance + 1);
}

TEST_F(FileInfoTest, NullArgumentsAreRefusedInOrderWritingNothing) {
  char text[MIRL_FILEINFO_TEXT_BYTES] = "keep";
  double size = 99;
  int free_space = -7;
  EXPECT_EQ(fileinfo(nullptr, nullptr, nullptr, nullptr), -861);
  EXPECT_EQ(fileinfo("x", nullptr, nullptr, nullptr), -862);
  EXPECT_EQ(fileinfo("x", text, nullptr, nullptr), -863);
  EXPECT_EQ(fileinfo("x", text, &size, nullptr), -864);
  EXPECT_EQ(fileinfo(nullptr, text, &size, &free_space), -861);
  EXPECT_STREQ(text, "keep");
  EXPECT_EQ(size, 99);
  EXPECT_EQ(free_space, -7);
}

TEST_F(FileInfoTest, PatternOver257CharactersIsRefusedBeforeAnyOutput) {
  const std::string at_limit(257, 'q');
  EXPECT_EQ(Call(at_limit).code, -865);
  const Info over = Call(std::string(258, 'q'));
  EXPECT_EQ(over.code, -866);
  EXPECT_EQ(over.size, 99);
  EXPECT_EQ(over.free_space, -7);
  // The "*" added after a trailing separator counts.
  EXPECT_EQ(Call(std::string(255, 'q') + "/").code, -865);
  EXPECT_EQ(Call(std::string(256, 'q') + "/").code, -866);
  EXPECT_EQ(Call(std::string(256, 'q') + "\\").code, -866);
  EXPECT_EQ(Call(std::string(1 << 20, 'q')).code, -866);
}

TEST_F(FileInfoTest, TimeWhoseTextWouldOverrunTheBufferIsAFailure) {
  // Only a file system that keeps 64-bit times (tmpfs) can hold year 10000.
  const boost::filesystem::path dir =
      boost::filesystem::path("/dev/shm") / boost::filesystem::unique_path("mirl-%%%%-%%%%");
  boost::system::error_code ec;
  if (!boost::filesystem::create_directory(dir, ec)) GTEST_SKIP() << "no /dev/shm";
  const std::string f = (dir / "future").string();
  std::FILE* out = std::fopen(f.c_str(), "w");
  if (out != nullptr) std::fclose(out);
  constexpr std::int64_t kYear10000 = 253402300800;
  struct stat st;
  const bool kept = SetTime(f, kYear10000 + 3600, 0) && stat(f.c_str(), &st) == 0 &&
                    st.st_mtim.tv_sec == kYear10000 + 3600;
  Info info{};
  if (kept) info = Call(f);
  boost::filesystem::remove_all(dir, ec);
  if (!kept) GTEST_SKIP() << "file system cannot keep year 10000";
  EXPECT_EQ(info.code, -860);
  EXPECT_EQ(info.text, "untouched");
  EXPECT_EQ(info.size, 0.0);
  EXPECT_TRUE(info.guard_intact);
}

}  // namespace
