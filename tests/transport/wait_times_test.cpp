// The wait bookkeeping, the name stamped into requests and the pause.
#include <chrono>
#include <cstdint>
#include <fstream>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "platform/sleep.h"
#include "transport/client_host.h"
#include "transport/wait_times.h"

namespace {

TEST(WaitTimesEntry, SixDecimalsThenTheLiteralPointThree) {
  EXPECT_EQ(grd_svr::WaitTimesEntry(2, 3, 20021, 0),
            "Communication wait times: LN[2] SN[3] TCL[20.021000.3 sec] TCO[0.000000.3 sec]\n");
  EXPECT_EQ(grd_svr::WaitTimesEntry(24, 25, 240175, 20000),
            "Communication wait times: LN[24] SN[25] TCL[240.175000.3 sec] TCO[20.000000.3 sec]\n");
}

TEST(WaitTimesEntry, MillisecondsAreNotTruncatedToWholeSeconds) {
  EXPECT_EQ(grd_svr::WaitTimesEntry(0, 1, 7, 1999),
            "Communication wait times: LN[0] SN[1] TCL[0.007000.3 sec] TCO[1.999000.3 sec]\n");
}

TEST(AddWait, SumsAndStopsAtTheLargestValue) {
  std::int32_t wait = 0;
  grd_svr::AddWait(wait, 7);
  grd_svr::AddWait(wait, 10000);
  EXPECT_EQ(wait, 10007);
  grd_svr::AddWait(wait, -5);
  grd_svr::AddWait(wait, 0);
  EXPECT_EQ(wait, 10007);

  const std::int32_t top = std::numeric_limits<std::int32_t>::max();
  wait = top - 3;
  grd_svr::AddWait(wait, 3);
  EXPECT_EQ(wait, top);
  wait = top - 3;
  grd_svr::AddWait(wait, 10000);
  EXPECT_EQ(wait, top);
}

TEST(SleepMilliseconds, WaitsAtLeastTheAskedTime) {
  const auto start = std::chrono::steady_clock::now();
  mirl::platform::SleepMilliseconds(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

}  // namespace
