#include <gtest/gtest.h>

#include <thread>

#include "gio_test_support.h"
#include "server/gio_lock.h"

namespace {

using grd_svr::CriticalGuardA;

TEST(GioLockTest, GuardTracesEnteringAndLeavingAndNestsOnOneThread) {
  gio_test::TraceRecorder trace;
  {
    CriticalGuardA outer;
    CriticalGuardA inner;
  }
  const std::vector<std::string> expected = {"Entering critical: A", "Entering critical: A",
                                             "Leaving critical: A", "Leaving critical: A"};
  EXPECT_EQ(trace.lines(), expected);
}

TEST(GioLockTest, GuardExcludesOtherThreads) {
  long counter = 0;
  auto work = [&counter] {
    for (int i = 0; i < 20000; ++i) {
      CriticalGuardA guard;
      // A read and a write apart, so that two holders at once lose updates.
      const long seen = counter;
      std::this_thread::yield();
      counter = seen + 1;
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000);
}

}  // namespace
