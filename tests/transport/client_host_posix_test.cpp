#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "transport/client_host.h"

namespace {

TEST(ClientHostName, IsTheKernelsHostName) {
  std::ifstream in("/proc/sys/kernel/hostname");
  std::string expected;
  std::getline(in, expected);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(grd_svr::ClientHostName(), expected);
}

}  // namespace
