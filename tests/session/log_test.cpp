#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "logging/log.h"
#include "logging/multi_log.h"
#include "session/session_record.h"
#include "support/temp_dir.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

const std::regex kStamp(R"(\d{4}-(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)-\d{2} \d{2}:\d{2}:\d{2})");

class LogTest : public ::testing::Test {
 protected:
  LogTest() : cwd_(dir_.path()) {}
  ~LogTest() override { mirl::session::CloseSession(); }
  mirl_test::TempDir dir_;
  mirl_test::ScopedCwd cwd_;
};

TEST_F(LogTest, TimeStampHasTheFixedShape) {
  EXPECT_TRUE(std::regex_match(mirl::log_time_stamp(), kStamp)) << mirl::log_time_stamp();
}

TEST_F(LogTest, NothingIsWrittenWhileTheSessionLogIsClosed) {
  mirl::log_line("text");
  mirl::log_entering("spread");
  EXPECT_EQ(mirl::log_returned("spread", -502), -502);
  EXPECT_TRUE(dir_.entries().empty());
}

TEST_F(LogTest, EntryAndResultLinesWithOneStampPerText) {
  mirl::session::OpenSessionLog();
  mirl::log_entering("gridinit");
  EXPECT_EQ(mirl::log_returned("gridinit", -621), -621);
  mirl::log_line("first\nsecond");
  const std::string text = ReadFile(dir_.file("mirl_lib_log.txt"));
  const std::regex expected(
      R"(^(\S+ \S+) \| Entering gridinit\n(\S+ \S+) \| gridinit returned with code: -621\n(\S+ \S+) \| first\nsecond\n$)");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(text, m, expected)) << text;
  EXPECT_TRUE(std::regex_match(m[1].str(), kStamp));
}

TEST_F(LogTest, SecondSessionAppendsToTheFirst) {
  mirl::session::OpenSessionLog();
  mirl::log_line("one");
  mirl::session::CloseSession();
  mirl::log_line("lost");  // closed: written nowhere
  mirl::session::OpenSessionLog();
  mirl::log_line("two");
  const std::string text = ReadFile(dir_.file("mirl_lib_log.txt"));
  EXPECT_NE(text.find(" | one\n"), std::string::npos);
  EXPECT_NE(text.find(" | two\n"), std::string::npos);
  EXPECT_EQ(text.find("lost"), std::string::npos);
}

TEST_F(LogTest, MultiLogPrefixAndSuffixFollowTheFlags) {
  {
    grd_svr::CMultiLog log(false, true, "server.txt");
    ASSERT_TRUE(log.is_open());
    log.Log("a", false, false);
    log.Log("b", false, true);
    log.LogFile("c", true, true);
    log.LogConsole("never", true, true);  // console flag off
  }
  const std::string text = ReadFile(dir_.file("server.txt"));
  std::smatch m;
  ASSERT_TRUE(std::regex_match(text, m, std::regex(R"(^ab\n(.+) \| c\n$)"))) << text;
  EXPECT_TRUE(std::regex_match(m[1].str(), kStamp));
}

TEST_F(LogTest, MakeServerLogFallsBackAndRefusesFilelessLoggers) {
  EXPECT_FALSE(grd_svr::make_server_log(true, false, "x.txt"));
  // An unopenable name falls back to "log.txt" and keeps the asked name.
  auto log = grd_svr::make_server_log(false, true, "no/such/dir/file.txt");
  ASSERT_TRUE(log);
  log->Log("line", false, true);
  log->Flush();
  EXPECT_EQ(ReadFile(dir_.file("log.txt")), "line\n");
  EXPECT_EQ(static_cast<grd_svr::CMultiLog&>(*log).file_name(), "no/such/dir/file.txt");
  // An empty name means "log.txt" too.
  EXPECT_TRUE(grd_svr::make_server_log(false, true, ""));
}

}  // namespace
