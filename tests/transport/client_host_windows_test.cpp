#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "transport/client_host.h"

namespace {

TEST(ClientHostName, IsWhatGetComputerNameGives) {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  ASSERT_TRUE(GetComputerNameA(name, &size));
  EXPECT_EQ(grd_svr::ClientHostName(), std::string(name, size));
}

}  // namespace
