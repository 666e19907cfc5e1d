#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/memory_status.h"
#include "server/strategy.h"

namespace {

using mirl::platform::AvailablePhysicalMemory;

// MemAvailable read independently, in bytes.
std::uint64_t ProcMemAvailable() {
  std::ifstream meminfo("/proc/meminfo");
  std::string line;
  while (std::getline(meminfo, line)) {
    std::istringstream fields(line);
    std::string key;
    std::uint64_t kib = 0;
    if (fields >> key >> kib && key == "MemAvailable:") return kib * 1024;
  }
  return 0;
}

class MemoryStatusTest : public ::testing::Test {
 protected:
  void TearDown() override { mirl::platform::ClearAvailablePhysicalMemoryOverride(); }
};

TEST_F(MemoryStatusTest, TheSystemFigureIsMemAvailable) {
  const std::uint64_t before = ProcMemAvailable();
  const std::uint64_t ours = AvailablePhysicalMemory();
  const std::uint64_t after = ProcMemAvailable();
  ASSERT_GT(before, 0u);
  // Other processes move the figure a little between the three reads.
  const std::uint64_t slack = std::uint64_t{256} << 20;
  EXPECT_GE(ours + slack, std::min(before, after));
  EXPECT_LE(ours, std::max(before, after) + slack);
}

TEST_F(MemoryStatusTest, AnOverrideStandsUntilCleared) {
  mirl::platform::SetAvailablePhysicalMemoryOverride(12345);
  EXPECT_EQ(AvailablePhysicalMemory(), 12345u);
  mirl::platform::SetAvailablePhysicalMemoryOverride(0);
  EXPECT_EQ(AvailablePhysicalMemory(), 0u);
  mirl::platform::ClearAvailablePhysicalMemoryOverride();
  EXPECT_GT(AvailablePhysicalMemory(), 0u);
}

TEST_F(MemoryStatusTest, MegabytesAreWholeAndSaturateAtThirtyTwoBits) {
  mirl::platform::SetAvailablePhysicalMemoryOverride((std::uint64_t{20} << 20) - 1);
  EXPECT_EQ(grd_svr::AvailableRamMB(), 19u);
  mirl::platform::SetAvailablePhysicalMemoryOverride(~std::uint64_t{0});
  EXPECT_EQ(grd_svr::AvailableRamMB(), 4294967295u);
}

}  // namespace
