// The system utilities on Windows against the Windows calls themselves: each
// answer must be what the same call, made here directly, gives.
#include <direct.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "exports/sysutil_api.h"
#include "support/loaded_library.h"
#include "sysutil_fixture.h"

namespace {

using mirl_test::GuardedBuffer;

// A FILETIME from a count of 100-nanosecond ticks since 1601.
FILETIME Ticks(std::uint64_t ticks) {
  FILETIME t;
  t.dwLowDateTime = static_cast<DWORD>(ticks & 0xffffffffu);
  t.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return t;
}

bool SetWriteTime(const std::string& path, const FILETIME& time) {
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = SetFileTime(file, nullptr, nullptr, &time) != 0;
  CloseHandle(file);
  return ok;
}

// What fileinfo must make of a last-write time, made with the same calls.
std::string TimeText(const FILETIME& time) {
  static const char* const kMonth[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  SYSTEMTIME utc, local;
  EXPECT_TRUE(FileTimeToSystemTime(&time, &utc));
  EXPECT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
  char text[64];
  std::snprintf(text, sizeof text, "%02d %s %d, %02d:%02d:%02d:%03d", local.wDay,
                kMonth[local.wMonth - 1], local.wYear, local.wHour, local.wMinute, local.wSecond,
                local.wMilliseconds);
  return text;
}

// The file's own size and time as FindFirstFileA reports them.
WIN32_FIND_DATAA Found(const std::string& path) {
  WIN32_FIND_DATAA data{};
  HANDLE find = FindFirstFileA(path.c_str(), &data);
  EXPECT_NE(find, INVALID_HANDLE_VALUE) << path;
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  return data;
}

double Millions(const WIN32_FIND_DATAA& data) {
  return static_cast<double>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                             data.nFileSizeLow) /
         1000000.0;
}

int FreeMillionsOfCurrentDrive() {
  struct _diskfree_t space;
  EXPECT_EQ(_getdiskfree(0, &space), 0u);
  const std::uint64_t bytes = static_cast<std::uint64_t>(space.avail_clusters) *
                              space.sectors_per_cluster * space.bytes_per_sector;
  return static_cast<int>(bytes / 1000000);
}

struct Info {
  int code;
  std::string text;
  double size;
  int free_space;
};

class SysutilWindowsTest : public mirl_test::FilesFixture {
 protected:
  SysutilWindowsTest() : cwd_(dir_.path()) {}

  static Info FileInfo(const std::string& path) {
    GuardedBuffer text(MIRL_FILEINFO_TEXT_BYTES, "untouched");
    double size = -1;
    int free_space = -1;
    const int code = fileinfo(path.c_str(), text.data(), &size, &free_space);
    EXPECT_TRUE(text.GuardIntact());
    return {code, text.str(), size, free_space};
  }

  mirl_test::ScopedCwd cwd_;
};

TEST_F(SysutilWindowsTest, FileinfoOfOneFileIsWhatFindFirstFileSays) {
  const std::string f = MakeFile("grid.bin", 2500000);
  ASSERT_TRUE(SetWriteTime(f, Ticks(128795364902500000ull)));  // 2009-02-13, 23:31:30.250 UTC
  const WIN32_FIND_DATAA found = Found(f);
  const Info info = FileInfo(f);
  EXPECT_EQ(info.code, 1);
  EXPECT_EQ(info.size, Millions(found));
  EXPECT_EQ(info.size, 2.5);
  EXPECT_EQ(info.text, TimeText(found.ftLastWriteTime));
  // Only the seconds could differ by a few while the disk fills meanwhile.
  EXPECT_NEAR(info.free_space, FreeMillionsOfCurrentDrive(), 2);
}

TEST_F(SysutilWindowsTest, StarPatternSumsEveryMatchAndTellsTheNewest) {
  MakeDir("w");
  const std::uint64_t base = 130000000000000000ull;
  const std::string a = MakeFile("w\\a.txt", 100000), b = MakeFile("w\\bb.txt", 200000),
                    c = MakeFile("w\\c.txt", 300000), other = MakeFile("w\\d.dat", 800000);
  ASSERT_TRUE(SetWriteTime(a, Ticks(base)));
  ASSERT_TRUE(SetWriteTime(b, Ticks(base + 50000000)));  // the newest .txt, by 5 seconds
  ASSERT_TRUE(SetWriteTime(c, Ticks(base + 1)));
  ASSERT_TRUE(SetWriteTime(other, Ticks(base + 900000000)));
  const Info info = FileInfo(dir_.file("w\\*.txt"));
  EXPECT_EQ(info.code, 1);
  EXPECT_DOUBLE_EQ(info.size, Millions(Found(a)) + Millions(Found(b)) + Millions(Found(c)));
  EXPECT_DOUBLE_EQ(info.size, 0.6);
  EXPECT_EQ(info.text, TimeText(Found(b).ftLastWriteTime));

  const Info all = FileInfo(dir_.file("w\\*"));
  EXPECT_DOUBLE_EQ(all.size, 1.4);
  EXPECT_EQ(all.text, TimeText(Found(other).ftLastWriteTime));
}

TEST_F(SysutilWindowsTest, DirectoryWithAndWithoutBackslashAgree) {
  MakeDir("d\\sub");
  MakeFile("d\\x", 1000000);
  MakeFile("d\\sub\\deeper", 5000000);
  const Info bare = FileInfo(dir_.file("d"));
  const Info slashed = FileInfo(dir_.file("d") + "\\");
  EXPECT_EQ(bare.code, 1);
  EXPECT_EQ(bare.size, 1.0);  // the subdirectory's file does not count
  EXPECT_EQ(bare.size, slashed.size);
  EXPECT_EQ(bare.text, slashed.text);
  EXPECT_EQ(bare.text, TimeText(Found(dir_.file("d\\x")).ftLastWriteTime));
}

TEST_F(SysutilWindowsTest, NothingMatchingGivesMinus865) {
  const Info info = FileInfo(dir_.file("no such file"));
  EXPECT_EQ(info.code, -865);
  EXPECT_EQ(info.size, 0.0);
  EXPECT_EQ(FileInfo(dir_.file("*.none")).code, -865);
}

TEST_F(SysutilWindowsTest, ShortpathIsWhatGetShortPathNameGives) {
  MakeDir("A Directory With A Long Name");
  const std::string file =
      MakeFile("A Directory With A Long Name\\a file with a long name.text", 1);
  char expected[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameA(file.c_str(), expected, MAX_PATH), 0u);
  GuardedBuffer out(MIRL_SHORTPATH_BYTES, std::string(MIRL_SHORTPATH_BYTES - 1, ' '));
  EXPECT_EQ(shortpath(file.c_str(), out.data()), 1);
  EXPECT_EQ(out.str(), expected);
  EXPECT_NE(out.str(), file);  // Windows has a short form for these names
  EXPECT_TRUE(out.GuardIntact());

  GuardedBuffer missing(MIRL_SHORTPATH_BYTES, std::string(MIRL_SHORTPATH_BYTES - 1, ' '));
  EXPECT_EQ(shortpath(dir_.file("not there").c_str(), missing.data()), -883);
}

TEST_F(SysutilWindowsTest, ComputernameIsWhatGetComputerNameGives) {
  char expected[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof expected;
  ASSERT_TRUE(GetComputerNameA(expected, &size));
  GuardedBuffer out(MIRL_COMPUTERNAME_BYTES, "");
  EXPECT_EQ(computername(out.data()), 1);
  EXPECT_EQ(out.str(), expected);
  EXPECT_TRUE(out.GuardIntact());
}

TEST(SysutilWindowsDll, GetpidOfTheDllAndItsTwinIsGetCurrentProcessId) {
  mirl_test::LoadedLibrary lib;
  auto get = lib.find<int (*)()>("getpid");
  auto twin = lib.find<int (*)(int*)>("R_getpid");
  ASSERT_NE(get, nullptr);
  ASSERT_NE(twin, nullptr);
  const int expected = static_cast<int>(GetCurrentProcessId());
  EXPECT_EQ(get(), expected);
  int result = 0;
  EXPECT_EQ(twin(&result), expected);
  EXPECT_EQ(result, expected);
}

}  // namespace
