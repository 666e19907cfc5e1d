#include <gtest/gtest.h>

#include <boost/asio/error.hpp>
#include <boost/make_shared.hpp>
#include <cerrno>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "protocol/framing.h"
#include "protocol/packets.h"

namespace grd_svr {
namespace {

std::string Header(std::size_t n) {
  std::string h = "unset";
  EXPECT_FALSE(FormatFrameHeader(n, h));
  return h;
}

bool Parses(const char* text, std::size_t* out = nullptr) {
  std::size_t n = 12345;
  const bool ok = !ParseFrameHeader(text, n);
  if (out != nullptr) *out = n;
  return ok;
}

TEST(FrameHeaderTest, LowerCaseHexRightAlignedInEightBlankPaddedCharacters) {
  EXPECT_EQ(Header(26), "      1a");
  EXPECT_EQ(Header(0), "       0");
  EXPECT_EQ(Header(0xabcdef), "  abcdef");
  EXPECT_EQ(Header(kMaxFrameLength), " 8000000");
}

TEST(FrameHeaderTest, LengthAboveTheMaximumIsNotFramed) {
  std::string h = "unset";
  EXPECT_EQ(FormatFrameHeader(kMaxFrameLength + 1, h), FrameError());
  EXPECT_EQ(FormatFrameHeader(std::numeric_limits<std::size_t>::max(), h), FrameError());
  EXPECT_EQ(h, "unset");
}

TEST(FrameHeaderTest, MaximumHoldsAWhole4000By4000GridOfFloats) {
  EXPECT_GT(kMaxFrameLength, 4000u * 4000u * sizeof(float) + 4096u);
  EXPECT_LT(kMaxFrameLength, std::size_t{1} << 30);
}

TEST(FrameHeaderTest, ParsesWhatItFormatsAndEitherCase) {
  std::size_t n = 0;
  EXPECT_TRUE(Parses("      1a", &n));
  EXPECT_EQ(n, 26u);
  EXPECT_TRUE(Parses("0000001A", &n));
  EXPECT_EQ(n, 26u);
  EXPECT_TRUE(Parses("       0", &n));
  EXPECT_EQ(n, 0u);
  EXPECT_TRUE(Parses(" 8000000", &n));
  EXPECT_EQ(n, kMaxFrameLength);
}

TEST(FrameHeaderTest, RejectsEverythingButBlanksThenDigits) {
  for (const char* bad : {"        ", "1a      ", "  0x001a", "   -1a  ", "      1g", "\t     1a",
                          "   1 2  ", "zzzzzzzz"}) {
    std::size_t n = 777;
    EXPECT_EQ(ParseFrameHeader(bad, n), FrameError()) << bad;
    EXPECT_EQ(n, 777u) << bad;
  }
}

TEST(FrameHeaderTest, RejectsLengthsAboveTheMaximumBeforeAnyBufferIsSized) {
  EXPECT_FALSE(Parses(" 8000001"));
  EXPECT_FALSE(Parses("ffffffff"));
}

TEST(FrameErrorTest, IsTheSystemInvalidArgument) {
  EXPECT_EQ(FrameError(), boost::system::error_code(boost::asio::error::invalid_argument));
  EXPECT_EQ(FrameError().category(), boost::system::system_category());
}

TEST(DecodeFrameTest, HeaderMustCountExactlyTheBytesThatFollow) {
  std::string frame = EncodeFrame(boost::make_shared<CGSvrPk_PingServer>(atRequest));
  boost::shared_ptr<CGSvrPacket> p;
  ASSERT_FALSE(DecodeFrame(frame.data(), frame.size(), p));
  EXPECT_EQ(DecodeFrame(frame.data(), frame.size() - 1, p), FrameError());
  frame.push_back('\0');
  EXPECT_EQ(DecodeFrame(frame.data(), frame.size(), p), FrameError());
  EXPECT_EQ(DecodeFrame(nullptr, 0, p), FrameError());
  EXPECT_EQ(DecodeFrame(frame.data(), 7, p), FrameError());
}

// An encoder that fails a given number of times, then succeeds.
struct FlakyEncoder {
  int failures_left;
  int calls = 0;
  std::string operator()() {
    ++calls;
    if (failures_left-- > 0) throw std::runtime_error("serialization failed");
    return "payload";
  }
};

struct PauseLog {
  std::vector<int> pauses;
  PauseFunction fn() {
    return [this](int ms) { pauses.push_back(ms); };
  }
};

TEST(EncodeRetryTest, SuccessAtOnceMakesNoPause) {
  FlakyEncoder enc{0};
  PauseLog log;
  std::int32_t wait = 7;
  EXPECT_EQ(EncodeWithRetry(std::ref(enc), wait, log.fn()), "payload");
  EXPECT_EQ(enc.calls, 1);
  EXPECT_TRUE(log.pauses.empty());
  EXPECT_EQ(wait, 7);
}

TEST(EncodeRetryTest, EachRetryWaits2000MsAndCountsIt) {
  FlakyEncoder enc{3};
  PauseLog log;
  std::int32_t wait = 7;
  EXPECT_EQ(EncodeWithRetry(std::ref(enc), wait, log.fn()), "payload");
  EXPECT_EQ(enc.calls, 4);
  EXPECT_EQ(log.pauses, std::vector<int>(3, 2000));
  EXPECT_EQ(wait, 6007);
}

TEST(EncodeRetryTest, TenRetriesMayStillSucceed) {
  FlakyEncoder enc{10};
  PauseLog log;
  std::int32_t wait = 0;
  EXPECT_EQ(EncodeWithRetry(std::ref(enc), wait, log.fn()), "payload");
  EXPECT_EQ(enc.calls, 11);
  EXPECT_EQ(wait, 20000);
}

TEST(EncodeRetryTest, EleventhFailurePropagatesAfterTenPauses) {
  FlakyEncoder enc{11};
  PauseLog log;
  std::int32_t wait = 0;
  EXPECT_THROW(EncodeWithRetry(std::ref(enc), wait, log.fn()), std::runtime_error);
  EXPECT_EQ(enc.calls, 11);
  EXPECT_EQ(log.pauses.size(), 10u);
  EXPECT_EQ(wait, 20000);
}

TEST(EncodeRetryTest, NonStandardExceptionIsNotRetried) {
  int calls = 0;
  PauseLog log;
  std::int32_t wait = 0;
  EXPECT_THROW(EncodeWithRetry(
                   [&calls]() -> std::string {
                     ++calls;
                     throw 5;
                   },
                   wait, log.fn()),
               int);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(wait, 0);
}

TEST(EncodeRetryTest, RealPacketEncodesWithoutPause) {
  PauseLog log;
  std::int32_t wait = 0;
  auto ping = boost::make_shared<CGSvrPk_PingServer>(atRequest);
  EXPECT_EQ(EncodePacketWithRetry(ping, wait, log.fn()), EncodePacket(ping));
  EXPECT_TRUE(log.pauses.empty());
}

}  // namespace
}  // namespace grd_svr
