// Bytes from the network that are not a packet we wrote: each must end in
// the invalid-argument outcome without a crash, a hang or a large
// allocation. Every case runs in both wire layouts: the 32-bit layout is
// held to the same refusals and limits as the 64-bit one.
#include <gtest/gtest.h>

#include <atomic>
#include <boost/make_shared.hpp>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>

#include "protocol/framing.h"
#include "protocol/packet_samples.h"
#include "protocol/packets.h"
#include "protocol/wire_bytes.h"

namespace {

// The largest single allocation made while a watch is on.
std::atomic<bool> g_watching{false};
std::atomic<std::size_t> g_largest{0};

}  // namespace

// The replacement pair is malloc and free underneath; GCC cannot see that
// they match once inlined into callers.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t n) {
  if (g_watching.load(std::memory_order_relaxed)) {
    std::size_t seen = g_largest.load();
    while (n > seen && !g_largest.compare_exchange_weak(seen, n)) {
    }
  }
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace grd_svr {
namespace {

using grd_svr_test::I32;
using grd_svr_test::PacketPtr;

class MalformedInputTest : public ::testing::TestWithParam<WireLayout> {
 protected:
  static WireLayout L() { return GetParam(); }
  // A size field and a string as the layout under test writes them.
  static std::string Len(std::uint64_t n) { return grd_svr_test::Len(n, L()); }
  static std::string Str(const std::string& s) { return grd_svr_test::Str(s, L()); }
  // A size field that lies: the value, or the largest the layout can hold.
  static std::string Lie(std::uint64_t n) {
    if (L() == WireLayout::k32Bit && n > 0xffffffffu) n = 0xffffffffu;
    return Len(n);
  }
  // An offset in the 64-bit layout's header moved to the layout under test
  // (only the signature's length field differs in width before it).
  static std::size_t At(std::size_t offset_64) { return offset_64 - 8 + SizeFieldBytes(L()); }

  // Decodes a payload with the allocation watch on; true when accepted.
  bool Accepts(const std::string& payload) {
    g_largest = 0;
    g_watching = true;
    PacketPtr out;
    const bool ok = !DecodePacket(payload.data(), payload.size(), out);
    g_watching = false;
    largest_ = g_largest;
    decoded_ = out;
    return ok;
  }
  // Replaces the bytes of the first occurrence of from by to (same size).
  static std::string Patch(std::string payload, const std::string& from, const std::string& to) {
    const std::size_t at = payload.find(from);
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos) payload.replace(at, from.size(), to);
    return payload;
  }
  static std::string PayloadOf(const PacketPtr& p) { return EncodePacket(p, L()); }

  std::size_t largest_ = 0;
  PacketPtr decoded_;
};

TEST_P(MalformedInputTest, EveryTruncationOfEveryClassIsRejected) {
  for (const PacketPtr& p : grd_svr_test::SamplePackets()) {
    const std::string payload = PayloadOf(p);
    ASSERT_TRUE(Accepts(payload));
    for (std::size_t n = 0; n < payload.size(); ++n) {
      EXPECT_FALSE(Accepts(payload.substr(0, n))) << grd_svr_test::ClassOf(*p).name() << " cut at " << n;
    }
  }
}

TEST_P(MalformedInputTest, TrailingBytesAreRejected) {
  EXPECT_FALSE(Accepts(PayloadOf(grd_svr_test::SamplePackets()[3]) + '\0'));
}

TEST_P(MalformedInputTest, RandomBytesAreRejected) {
  std::mt19937 rng(20240607);
  for (int i = 0; i < 3000; ++i) {
    std::string junk(rng() % 300, '\0');
    for (char& c : junk) c = static_cast<char>(rng());
    EXPECT_FALSE(Accepts(junk));
  }
}

TEST_P(MalformedInputTest, RandomBytesBehindAValidArchiveHeaderAreRejected) {
  const std::string header = PayloadOf(PacketPtr()).substr(0, At(40));
  std::mt19937 rng(7);
  for (int i = 0; i < 3000; ++i) {
    std::string tail(rng() % 200, '\0');
    for (char& c : tail) c = static_cast<char>(rng() % 4 == 0 ? rng() : rng() % 3);
    Accepts(header + tail);
    EXPECT_LT(largest_, 64u * 1024) << i;
  }
}

TEST_P(MalformedInputTest, CellCountBeyondTheBytesIsRejectedBeforeAllocating) {
  auto op = boost::make_shared<CGSvrPk_GridOp>(atResponse, GridLoad);
  op->m_GrdDataFLT = {1.0f, 2.0f};
  const std::string payload = PayloadOf(op);
  const std::string count = Len(2) + grd_svr_test::F32(1.0f);
  for (std::uint64_t lie :
       {std::uint64_t{3}, std::uint64_t{1} << 28, std::uint64_t{1} << 40, ~std::uint64_t{0}}) {
    EXPECT_FALSE(Accepts(Patch(payload, count, Lie(lie) + grd_svr_test::F32(1.0f)))) << lie;
    EXPECT_LT(largest_, 64u * 1024) << lie;
  }
  EXPECT_TRUE(Accepts(payload));
}

// A count that fits the bytes left as bytes, but not as 4-byte cells.
TEST_P(MalformedInputTest, CellCountIsCheckedInCellsNotBytes) {
  auto op = boost::make_shared<CGSvrPk_GridOp>(atResponse, GridLoad);
  op->m_GrdDataINT.assign(30000, 3);
  const std::string payload = PayloadOf(op);
  const std::string count = Len(30000) + I32(3);
  EXPECT_FALSE(Accepts(Patch(payload, count, Len(100000) + I32(3))));
  EXPECT_LT(largest_, 64u * 1024);
  EXPECT_TRUE(Accepts(payload));
}

TEST_P(MalformedInputTest, StringLengthBeyondTheBytesIsRejectedBeforeAllocating) {
  auto copy = boost::make_shared<CGSvrPk_GridCopy>(atRequest);
  copy->m_SourceGridName = "src";
  const std::string payload = PayloadOf(copy);
  for (std::uint64_t lie : {std::uint64_t{1} << 20, std::uint64_t{1} << 62, ~std::uint64_t{0}}) {
    EXPECT_FALSE(Accepts(Patch(payload, Str("src"), Lie(lie) + "src"))) << lie;
    EXPECT_LT(largest_, 64u * 1024) << lie;
  }
}

TEST_P(MalformedInputTest, ExportKeyLengthBeyondTheBytesIsRejectedBeforeAllocating) {
  const std::string key = "grd_svr::CGSvrPk_GridCopy";
  const std::string payload = PayloadOf(boost::make_shared<CGSvrPk_GridCopy>(atRequest));
  EXPECT_FALSE(Accepts(Patch(payload, Str(key), Lie(std::uint64_t{1} << 40) + key)));
  EXPECT_LT(largest_, 64u * 1024);
}

TEST_P(MalformedInputTest, NameCountBeyondTheBytesIsRejectedBeforeAllocating) {
  auto list = boost::make_shared<CGSvrPk_GridList>(atResponse);
  list->m_GridNames = {"a", "b"};
  const std::string payload = PayloadOf(list);
  // count, item version, first name
  const std::string names = Len(2) + I32(0) + Str("a");
  for (std::uint64_t lie : {std::uint64_t{3}, std::uint64_t{1} << 32}) {
    EXPECT_FALSE(Accepts(Patch(payload, names, Lie(lie) + I32(0) + Str("a")))) << lie;
    EXPECT_LT(largest_, 64u * 1024) << lie;
  }
  EXPECT_TRUE(Accepts(payload));
}

// Many names: a count within the bytes left, but beyond one length field
// per name, must not make room for that many strings.
TEST_P(MalformedInputTest, NameCountIsCheckedAgainstOneLengthPerName) {
  auto list = boost::make_shared<CGSvrPk_GridList>(atResponse);
  list->m_GridNames.assign(4000, "");
  const std::string payload = PayloadOf(list);
  const std::string names = Len(4000) + I32(0) + Str("");
  // Within the bytes left, but far beyond one length field per name: room
  // for that many strings would pass the allocation limit.
  const std::uint64_t lie = payload.size() - At(40) - 100;
  EXPECT_FALSE(Accepts(Patch(payload, names, Len(lie) + I32(0) + Str(""))));
  EXPECT_LT(largest_, 200u * 1024);
  EXPECT_TRUE(Accepts(payload));
}

TEST_P(MalformedInputTest, UnknownExportKeyIsRejected) {
  const std::string payload = PayloadOf(boost::make_shared<CGSvrPk_GridKill>(atRequest));
  EXPECT_FALSE(Accepts(Patch(payload, "CGSvrPk_GridKill", "CGSvrPk_GridKilm")));
  EXPECT_FALSE(Accepts(Patch(payload, "grd_svr::", "grd_xvr::")));
}

TEST_P(MalformedInputTest, BoolOtherThanZeroOrOneIsRejected) {
  auto create = boost::make_shared<CGSvrPk_GridCreate>(atRequest);
  create->m_BlockOnly = true;
  std::string payload = PayloadOf(create);
  ASSERT_EQ(payload.back(), '\x01');
  payload.back() = '\x02';
  EXPECT_FALSE(Accepts(payload));
  payload.back() = '\x00';
  ASSERT_TRUE(Accepts(payload));
  EXPECT_FALSE(dynamic_cast<CGSvrPk_GridCreate&>(*decoded_).m_BlockOnly);
}

// Byte offsets in every 64-bit layout payload (4 less in the 32-bit
// layout): 30 library version, 32 to 35 the sizes of int, long, float,
// double, 40 the shared pointer's class information, 45 the pointee's class
// id.
TEST_P(MalformedInputTest, ClassIdOutOfRangeIsRejected) {
  const std::string payload = PayloadOf(boost::make_shared<CGSvrPk_GridKill>(atRequest));
  ASSERT_EQ(payload.substr(At(45), 2), std::string("\x02\x00", 2));
  for (const char* id : {"\x03\x00", "\x10\x00", "\xff\x7f", "\xfe\xff", "\x00\x80", "\x00\x00"}) {
    std::string bad = payload;
    bad.replace(At(45), 2, id, 2);
    EXPECT_FALSE(Accepts(bad));
  }
}

// Found by fuzzing: a tracked shared pointer let the packet pointer refer
// back to the shared pointer object itself.
TEST_P(MalformedInputTest, TrackedSharedPointerIsRejected) {
  std::string payload = PayloadOf(boost::make_shared<CGSvrPk_GridKill>(atRequest));
  ASSERT_EQ(payload[At(40)], '\0');
  payload[At(40)] = 1;
  EXPECT_FALSE(Accepts(payload));
}

// Found by fuzzing: a new class id under the base class's key made Boost
// index past its class table.
TEST_P(MalformedInputTest, BaseClassKeyForANewClassIsRejected) {
  const std::string payload = PayloadOf(boost::make_shared<CGSvrPk_PingServer>(atRequest));
  EXPECT_FALSE(
      Accepts(Patch(payload, Str("grd_svr::CGSvrPk_PingServer"), Str("grd_svr::CGSvrPacket"))));
  EXPECT_FALSE(Accepts(
      Patch(payload, Str("grd_svr::CGSvrPk_PingServer"), Str("boost::serialization::foreign"))));
}

TEST_P(MalformedInputTest, WriterWithOtherFundamentalSizesOrByteOrderIsRejected) {
  const std::string payload = PayloadOf(boost::make_shared<CGSvrPk_PingServer>(atRequest));
  ASSERT_TRUE(Accepts(payload));
  // int, long, float, double
  const std::size_t sizes = At(32);
  for (const char* bad_sizes : {"\x08\x04\x04\x08", "\x04\x04\x08\x08", "\x04\x04\x04\x04",
                                "\x02\x04\x04\x08", "\x04\x10\x04\x08"}) {
    std::string bad = payload;
    bad.replace(sizes, 4, bad_sizes, 4);
    EXPECT_FALSE(Accepts(bad));
  }
  std::string swapped = payload;
  swapped.replace(At(36), 4, std::string("\0\0\0\x01", 4));
  EXPECT_FALSE(Accepts(swapped));
}

// No packet field is a long: 64-bit Windows (4-byte long) and 64-bit Linux
// (8-byte long) writers share the 64-bit layout, while a 32-bit writer's
// long is always 4 bytes.
TEST_P(MalformedInputTest, SizeOfLongMustFitTheLayout) {
  std::string payload = PayloadOf(grd_svr_test::SamplePackets()[2]);
  payload[At(33)] = 4;
  EXPECT_TRUE(Accepts(payload));
  payload[At(33)] = 8;
  EXPECT_EQ(Accepts(payload), L() == WireLayout::k64Bit);
}

TEST_P(MalformedInputTest, LibraryVersionsOutsideNineToOursAreRejected) {
  const std::string payload = PayloadOf(grd_svr_test::SamplePackets()[2]);
  for (int version : {1, 3, 5, 8, 19, 200}) {
    std::string bad = payload;
    bad[At(30)] = static_cast<char>(version);
    EXPECT_FALSE(Accepts(bad)) << version;
  }
}

TEST_P(MalformedInputTest, LibraryVersionsNineToOursReadTheSameBytesAlike) {
  for (const PacketPtr& p : grd_svr_test::SamplePackets()) {
    for (int version = 9; version <= 18; ++version) {
      std::string payload = PayloadOf(p);
      payload[At(30)] = static_cast<char>(version);
      ASSERT_TRUE(Accepts(payload)) << version;
      EXPECT_EQ(grd_svr_test::PacketDifference(*p, *decoded_), "") << version;
    }
  }
}

TEST_P(MalformedInputTest, SingleByteCorruptionsNeverCrash) {
  for (const PacketPtr& p : grd_svr_test::SamplePackets()) {
    const std::string payload = PayloadOf(p);
    for (std::size_t i = 0; i < payload.size(); ++i) {
      for (int v : {0x00, 0x01, 0x02, 0x7f, 0x80, 0xff}) {
        std::string bad = payload;
        bad[i] = static_cast<char>(v);
        Accepts(bad);
        EXPECT_LT(largest_, 64u * 1024) << i;
      }
    }
  }
}

TEST_P(MalformedInputTest, NonHexadecimalAndOversizedFrameHeadersAreRejected) {
  const std::string payload = PayloadOf(boost::make_shared<CGSvrPk_PingServer>(atRequest));
  PacketPtr out;
  for (const char* header : {"  nope  ", "        ", "ffffffff"}) {
    const std::string frame = std::string(header) + payload;
    EXPECT_EQ(DecodeFrame(frame.data(), frame.size(), out), FrameError()) << header;
  }
  EXPECT_FALSE(out);
}

std::string LayoutName(const ::testing::TestParamInfo<WireLayout>& info) {
  return info.param == WireLayout::k64Bit ? "Layout64" : "Layout32";
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, MalformedInputTest,
                         ::testing::Values(WireLayout::k64Bit, WireLayout::k32Bit), LayoutName);

}  // namespace
}  // namespace grd_svr
