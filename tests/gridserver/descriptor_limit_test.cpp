// The descriptor limit is raised for the connections the server is to hold,
// and never lowered.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include "gridserver_fixture.h"
#include "platform/descriptor_limit.h"

namespace gridserver_test {
namespace {

class DescriptorLimitTest : public GridServerTest {
 protected:
  void SetUp() override {
    GridServerTest::SetUp();
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved_), 0);
    if (saved_.rlim_max != RLIM_INFINITY && saved_.rlim_max < 2000)
      GTEST_SKIP() << "hard descriptor limit below 2000";
    rlimit low = saved_;
    low.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  }
  void TearDown() override {
    GridServerTest::TearDown();
    setrlimit(RLIMIT_NOFILE, &saved_);
  }
  static rlim_t Soft() {
    rlimit now;
    getrlimit(RLIMIT_NOFILE, &now);
    return now.rlim_cur;
  }
  rlimit saved_;
};

TEST_F(DescriptorLimitTest, RaisedAsFarAsAskedAndNeverLowered) {
  EXPECT_EQ(mirl::platform::RaiseDescriptorLimit(100), 256u);
  EXPECT_EQ(Soft(), 256u);
  EXPECT_EQ(mirl::platform::RaiseDescriptorLimit(1500), 1500u);
  EXPECT_EQ(Soft(), 1500u);
}

TEST_F(DescriptorLimitTest, TheServerRaisesItForItsConnections) {
  options_.max_connections = 1500;
  Start();
  EXPECT_GE(Soft(), 1500u);
  EXPECT_EQ(ExchangeCode(Ping()), grd_svr::ErrNone);
}

}  // namespace
}  // namespace gridserver_test
