#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "exports/sysutil_api.h"
#include "session/session_record.h"
#include "support/temp_dir.h"

namespace {

// The texts of the session log's lines, stamps removed.
std::vector<std::string> LogTexts() {
  std::ifstream in(mirl::session::kSessionLogName);
  std::vector<std::string> texts;
  const std::regex line(R"(^\d{4}-[A-Z][a-z]{2}-\d{2} \d{2}:\d{2}:\d{2} \| (.*)$)");
  for (std::string s; std::getline(in, s);) {
    std::smatch m;
    texts.push_back(std::regex_match(s, m, line) ? m[1].str() : "unstamped: " + s);
  }
  return texts;
}

class SysutilLogTest : public ::testing::Test {
 protected:
  SysutilLogTest() : cwd_(dir_.path()) { mirl::session::OpenSessionLog(); }
  ~SysutilLogTest() override { mirl::session::CloseSession(); }
  mirl_test::TempDir dir_;
  mirl_test::ScopedCwd cwd_;
};

TEST_F(SysutilLogTest, FileinfoLogsArgumentFailuresOnly) {
  char text[MIRL_FILEINFO_TEXT_BYTES];
  double size;
  int free_space;
  EXPECT_EQ(fileinfo(nullptr, text, &size, &free_space), -861);
  EXPECT_EQ(fileinfo("x", text, &size, nullptr), -864);
  EXPECT_EQ(fileinfo("no_such", text, &size, &free_space), -865);
  EXPECT_EQ(fileinfo(std::string(300, 'p').c_str(), text, &size, &free_space), -866);
  EXPECT_EQ(fileinfo(".", text, &size, &free_space), 1);
  const std::vector<std::string> expected = {
      "Entering fileinfo", "fileinfo returned with code: -861",
      "Entering fileinfo", "fileinfo returned with code: -864",
      "Entering fileinfo", "Entering fileinfo",
      "Entering fileinfo"};
  EXPECT_EQ(LogTexts(), expected);
}

TEST_F(SysutilLogTest, ShortpathLogsItsThreeArgumentCodes) {
  const std::string room(MIRL_SHORTPATH_BYTES - 1, ' ');
  std::string out = room;
  EXPECT_EQ(shortpath(nullptr, &out[0]), -881);
  EXPECT_EQ(shortpath(".", nullptr), -882);
  std::string small(5, ' ');
  EXPECT_EQ(shortpath(".", &small[0]), -885);
  EXPECT_EQ(shortpath("no_such", &out[0]), -883);
  EXPECT_EQ(shortpath(".", &out[0]), 1);
  const std::vector<std::string> expected = {
      "Entering shortpath", "shortpath returned with code: -881",
      "Entering shortpath", "shortpath returned with code: -882",
      "Entering shortpath", "shortpath returned with code: -885",
      "Entering shortpath", "Entering shortpath"};
  EXPECT_EQ(LogTexts(), expected);
}

TEST_F(SysutilLogTest, ComputernameLogsOnlyANullBuffer) {
  char name[MIRL_COMPUTERNAME_BYTES];
  EXPECT_EQ(computername(nullptr), -541);
  EXPECT_EQ(computername(name), 1);
  const std::vector<std::string> expected = {
      "Entering computername", "computername returned with code: -541", "Entering computername"};
  EXPECT_EQ(LogTexts(), expected);
}

TEST(SysutilNoLogTest, WithTheLogClosedNothingIsWritten) {
  mirl_test::TempDir dir;
  mirl_test::ScopedCwd cwd(dir.path());
  char text[MIRL_FILEINFO_TEXT_BYTES];
  double size;
  int free_space;
  EXPECT_EQ(fileinfo(nullptr, text, &size, &free_space), -861);
  EXPECT_EQ(fileinfo(".", text, &size, &free_space), 1);
  EXPECT_EQ(computername(nullptr), -541);
  EXPECT_TRUE(dir.entries().empty());
}

}  // namespace
