#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "protocol/packet_names.h"

namespace grd_svr {
namespace {

TEST(ActionIdNameTest, KnownIdsArePaddedTo17) {
  EXPECT_EQ(ActionIdName(0), "Unknown          ");
  EXPECT_EQ(ActionIdName(2), "GridLoad         ");
  EXPECT_EQ(ActionIdName(3), "GridWrite        ");
  EXPECT_EQ(ActionIdName(8), "ErrorReport      ");
  EXPECT_EQ(ActionIdName(13), "AccWndMake       ");
  EXPECT_EQ(ActionIdName(15), "GridServerRetire ");
  EXPECT_EQ(ActionIdName(16), "AccWndGet        ");
}

TEST(ActionIdNameTest, UnassignedOneAndOutOfRangeAreUnknownActionId) {
  EXPECT_EQ(ActionIdName(1), "Unknown Action ID");
  EXPECT_EQ(ActionIdName(-1), "Unknown Action ID");
  EXPECT_EQ(ActionIdName(17), "Unknown Action ID");
  EXPECT_EQ(ActionIdName(INT32_MIN), "Unknown Action ID");
}

TEST(ActionIdNameTest, EveryInputGives17Characters) {
  for (std::int32_t id = -40; id <= 40; ++id) EXPECT_EQ(ActionIdName(id).size(), 17u) << id;
  EXPECT_EQ(ActionIdName(INT32_MAX).size(), 17u);
}

TEST(ActionTypeNameTest, TableAndFallback) {
  EXPECT_EQ(ActionTypeName(0), "atUnknown ");
  EXPECT_EQ(ActionTypeName(1), "atRequest ");
  EXPECT_EQ(ActionTypeName(2), "atResponse");
  EXPECT_EQ(ActionTypeName(3), "unknown aid_val");
  EXPECT_EQ(ActionTypeName(7), "unknown aid_val");
  EXPECT_EQ(ActionTypeName(-1), "unknown aid_val");
}

TEST(ErrorCodeNameTest, EveryCodeIsItsNamePaddedTo28) {
  const char* names[] = {"ErrUnknown",
                         "ErrPackVersion",
                         "ErrPackFunction",
                         "ErrPackNull",
                         "ErrPackMalformed",
                         "ErrGridIOException",
                         "ErrGridCannotFind",
                         "ErrGridCannotOpen",
                         "ErrGridCannotRead",
                         "ErrGridCannotCreate",
                         "ErrGridCannotWrite",
                         "ErrGridMemAlloc",
                         "ErrGridNoAccessWindow",
                         "ErrGridAccessWindowExists",
                         "ErrGridBadDimensions",
                         "ErrGridTooBig",
                         "ErrGridAlreadyExists",
                         "ErrGridCannotCopy",
                         "ErrGridServerRetireBadIOMode"};
  for (int i = 0; i < 19; ++i) {
    std::string padded = names[i];
    padded.resize(28, ' ');
    EXPECT_EQ(ErrorCodeName(-10001 - i), padded);
  }
  EXPECT_EQ(ErrorCodeName(1), "ErrNone                     ");
}

TEST(ErrorCodeNameTest, NeighboursOfTheTableAreUnknown) {
  EXPECT_EQ(ErrorCodeName(0), "Unknown error value");
  EXPECT_EQ(ErrorCodeName(-10000), "Unknown error value");
  EXPECT_EQ(ErrorCodeName(-10020), "Unknown error value");
  EXPECT_EQ(ErrorCodeName(10001), "Unknown error value");
}

}  // namespace
}  // namespace grd_svr
