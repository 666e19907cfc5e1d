// Both log files are opened for appending in shared mode: while the library
// holds them, another handle can open them for reading and writing.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "platform/shared_file.h"
#include "logging/multi_log.h"
#include "session/session_record.h"
#include "support/temp_dir.h"

namespace {

bool OthersCanWrite(const std::string& path) {
  HANDLE other =
      CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (other == INVALID_HANDLE_VALUE) return false;
  CloseHandle(other);
  return true;
}

TEST(LogShareTest, SessionAndServerLogsLetOthersReadAndWrite) {
  mirl_test::TempDir dir;
  mirl_test::ScopedCwd cwd(dir.path());
  mirl::session::OpenSessionLog();
  ASSERT_TRUE(mirl::session::Session().session_log.is_open());
  EXPECT_TRUE(OthersCanWrite(dir.file("mirl_lib_log.txt")));
  auto server_log = grd_svr::make_server_log(false, true, "grid_server_log.txt");
  ASSERT_TRUE(server_log);
  EXPECT_TRUE(OthersCanWrite(dir.file("grid_server_log.txt")));
  server_log.reset();
  mirl::session::CloseSession();
}

// The check above must be able to fail: a file opened without sharing
// refuses the second handle.
TEST(LogShareTest, AnUnsharedFileRefusesTheSecondHandle) {
  mirl_test::TempDir dir;
  const std::string path = dir.file("locked.txt");
  HANDLE locked = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(OthersCanWrite(path));
  CloseHandle(locked);
}

TEST(LogShareTest, AppendingKeepsWhatWasThere) {
  mirl_test::TempDir dir;
  const std::string path = dir.file("append.txt");
  { std::ofstream(path) << "first\n"; }
  std::ofstream stream;
  mirl::platform::OpenSharedForAppend(stream, path);
  ASSERT_TRUE(stream.is_open());
  stream << "second\n";
  stream.close();
  std::ifstream in(path);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(all, "first\nsecond\n");
}

}  // namespace
