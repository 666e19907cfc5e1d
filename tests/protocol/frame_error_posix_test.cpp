#include <gtest/gtest.h>

#include <cerrno>

#include "protocol/framing.h"

namespace grd_svr {
namespace {

TEST(FrameErrorTest, IsEinvalOnPosix) { EXPECT_EQ(FrameError().value(), EINVAL); }

}  // namespace
}  // namespace grd_svr
