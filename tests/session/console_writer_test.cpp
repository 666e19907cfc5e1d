// The console sink writes to standard output, or to the writer a host
// installed in its place; with the console flag off it writes nowhere.
#include <iostream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "logging/console_writer.h"
#include "logging/multi_log.h"

namespace {

std::string g_written;
void Collect(const char* text) { g_written += text; }

class ConsoleTest : public ::testing::Test {
 protected:
  ConsoleTest() : old_(std::cout.rdbuf(captured_.rdbuf())) { g_written.clear(); }
  ~ConsoleTest() override {
    std::cout.rdbuf(old_);
    mirl_set_console_writer(nullptr);
  }
  std::stringstream captured_;
  std::streambuf* old_;
};

TEST_F(ConsoleTest, WithoutAHostWriterLinesGoToStandardOutput) {
  grd_svr::CMultiLog log(true, false, "unused.txt");
  log.LogConsole("to stdout", false, true);
  EXPECT_EQ(captured_.str(), "to stdout\n");
}

TEST_F(ConsoleTest, AHostWriterTakesTheLinesInsteadOfStandardOutput) {
  mirl_set_console_writer(&Collect);
  grd_svr::CMultiLog log(true, false, "unused.txt");
  log.Log("first ", false, false);
  log.LogConsole("second", false, true);
  EXPECT_EQ(g_written, "first second\n");
  EXPECT_EQ(captured_.str(), "");
}

TEST_F(ConsoleTest, ConsoleFlagOffWritesToNeither) {
  mirl_set_console_writer(&Collect);
  grd_svr::CMultiLog log(false, false, "unused.txt");
  log.LogConsole("never", false, true);
  EXPECT_EQ(g_written, "");
}

}  // namespace
