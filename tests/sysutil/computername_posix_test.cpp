#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "exports/sysutil_api.h"
#include "platform/host_info.h"
#include "sysutil/computer_name.h"
#include "sysutil_fixture.h"

namespace {

using mirl::sysutil::StoreComputerName;
using mirl_test::GuardedBuffer;

std::string HostName() {
  char name[256] = {};
  EXPECT_EQ(gethostname(name, sizeof name - 1), 0);
  return name;
}

TEST(ComputerNameTest, StoreCutsLongNamesToFifteenBytesAndNeverWritesPastSixteen) {
  struct Case {
    std::string name;
    std::string stored;
  } cases[] = {
      {"a", "a"},
      {std::string(15, 'n'), std::string(15, 'n')},
      {"sixteen-chars-xy", "sixteen-chars-x"},
      {std::string(64, 'h'), std::string(15, 'h')},
  };
  for (const Case& c : cases) {
    GuardedBuffer buffer(MIRL_COMPUTERNAME_BYTES, "");
    EXPECT_EQ(StoreComputerName(c.name, buffer.data()), 1) << c.name;
    EXPECT_EQ(buffer.str(), c.stored);
    EXPECT_TRUE(buffer.GuardIntact()) << c.name;
  }
}

TEST(ComputerNameTest, StoreOfAnUnknownNameGivesMinus542AndAnEmptyString) {
  GuardedBuffer buffer(MIRL_COMPUTERNAME_BYTES, "previous");
  EXPECT_EQ(StoreComputerName("", buffer.data()), -542);
  EXPECT_EQ(buffer.str(), "");
}

TEST(ComputerNameTest, PlatformNameIsTheWholeHostName) {
  EXPECT_EQ(mirl::platform::ComputerName(), HostName());
}

TEST(ComputerNameTest, ExportGivesTheHostNameCutToFifteen) {
  GuardedBuffer buffer(MIRL_COMPUTERNAME_BYTES, "");
  EXPECT_EQ(computername(buffer.data()), 1);
  EXPECT_EQ(buffer.str(), HostName().substr(0, 15));
  EXPECT_TRUE(buffer.GuardIntact());
  EXPECT_EQ(computername(nullptr), -541);
}

}  // namespace
