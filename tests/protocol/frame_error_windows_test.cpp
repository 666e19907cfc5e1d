#include <gtest/gtest.h>
#include <winsock2.h>

#include "protocol/framing.h"

namespace grd_svr {
namespace {

TEST(FrameErrorTest, IsWsaeinval10022OnWindows) {
  EXPECT_EQ(FrameError().value(), WSAEINVAL);
  EXPECT_EQ(FrameError().value(), 10022);
}

}  // namespace
}  // namespace grd_svr
