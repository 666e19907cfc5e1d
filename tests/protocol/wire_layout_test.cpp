// The two wire layouts: what each writes, that each is read whichever the
// build's own is, and that the decoder tells which one it read.
#include <gtest/gtest.h>

#include <boost/archive/binary_oarchive.hpp>
#include <boost/make_shared.hpp>
#include <cstring>
#include <sstream>
#include <string>
#include <typeinfo>
#include <vector>

#include "protocol/framing.h"
#include "protocol/memory_buffers.h"
#include "protocol/packet_samples.h"
#include "protocol/packet_serialize.h"
#include "protocol/wire_bytes.h"

namespace grd_svr {
namespace {

using grd_svr_test::F64;
using grd_svr_test::I32;
using grd_svr_test::Len;
using grd_svr_test::PacketPtr;
using grd_svr_test::Str;

constexpr WireLayout kLayouts[] = {WireLayout::k64Bit, WireLayout::k32Bit};

WireLayout Other(WireLayout layout) {
  return layout == WireLayout::k64Bit ? WireLayout::k32Bit : WireLayout::k64Bit;
}

// What Boost's own binary_oarchive of this build writes for the values.
template <class... T>
std::string StockBytes(const T&... values) {
  std::ostringstream out;
  {
    boost::archive::binary_oarchive archive(out, 0);
    (archive << ... << values);
  }
  return out.str();
}

template <class... T>
std::string WireBytes(WireLayout layout, const T&... values) {
  std::string text;
  CStringOutputBuffer sink(&text);
  {
    CWireOArchive archive(sink, layout);
    (archive << ... << values);
  }
  return text;
}

// The archive header a writer of the layout puts in front of everything.
std::string HeaderOf(WireLayout layout) {
  char long_size = static_cast<char>(sizeof(long));
  if (layout != NativeWireLayout()) long_size = layout == WireLayout::k64Bit ? 8 : 4;
  const char sizes[] = {4, long_size, 4, 8};
  return Str("serialization::archive", layout) + std::string("\x12\x00", 2) +
         std::string(sizes, 4) + I32(1);
}

TEST(WireLayoutTest, NativeLayoutWritesExactlyWhatBoostWrites) {
  const std::string name = "a name";
  const std::vector<std::int32_t> cells = {1, -2, 3};
  const std::vector<float> none;
  std::vector<std::string> names = {"x", "", "longer name"};
  const wire::NameList list(names);
  EXPECT_EQ(WireBytes(NativeWireLayout(), name, cells, none, list),
            StockBytes(name, cells, none, list));
}

TEST(WireLayoutTest, EachLayoutWritesItsHeaderAndItsWidthOfSizeFields) {
  const std::string name = "grid";
  const std::vector<std::int32_t> cells = {7, 8};
  for (WireLayout layout : kLayouts) {
    const std::string expected =
        HeaderOf(layout) + Str(name, layout) + Len(2, layout) + I32(7) + I32(8);
    EXPECT_EQ(WireBytes(layout, name, cells), expected);
  }
  EXPECT_EQ(HeaderOf(WireLayout::k32Bit).size(), 36u);
  EXPECT_EQ(HeaderOf(WireLayout::k64Bit).size(), 40u);
}

// The payload of a packet in the 32-bit layout is the 64-bit one with every
// size field (signature, strings, export key, cell counts) 4 bytes shorter.
TEST(WireLayoutTest, ThirtyTwoBitPayloadDiffersOnlyInItsSizeFields) {
  auto copy = boost::make_shared<CGSvrPk_GridCopy>(atRequest);
  copy->m_SourceGridName = "from";
  copy->m_DestinationGridName = "to";
  const std::string wide = EncodePacket(copy, WireLayout::k64Bit);
  const std::string narrow = EncodePacket(copy, WireLayout::k32Bit);
  // signature, export key, packet signature, client host, two names
  EXPECT_EQ(wide.size() - narrow.size(), 6u * 4u);
  for (WireLayout l : kLayouts) {
    const std::string payload = EncodePacket(copy, l);
    const std::string fields = Str(copy->GetSignature(), l) + Str(copy->GetClientHost(), l) +
                               I32(GridCopy) + I32(atRequest) + I32(ErrNone) + Str("from", l) +
                               Str("to", l);
    EXPECT_TRUE(grd_svr_test::EndsWith(payload, fields));
    EXPECT_NE(payload.find(Str("grd_svr::CGSvrPk_GridCopy", l)), std::string::npos);
    EXPECT_EQ(payload.compare(0, HeaderOf(l).size(), HeaderOf(l)), 0);
  }
}

TEST(WireLayoutTest, EveryClassIsReadFromEitherLayoutAndTheLayoutIsReported) {
  for (WireLayout layout : kLayouts) {
    for (const PacketPtr& p : grd_svr_test::SamplePackets()) {
      const std::string frame = EncodeFrame(p, layout);
      PacketPtr back;
      ASSERT_FALSE(DecodeFrame(frame.data(), frame.size(), back)) << grd_svr_test::ClassOf(*p).name();
      ASSERT_TRUE(back);
      EXPECT_EQ(grd_svr_test::ClassOf(*back), grd_svr_test::ClassOf(*p));
      EXPECT_EQ(grd_svr_test::PacketDifference(*p, *back), "") << grd_svr_test::ClassOf(*p).name();

      const std::string payload = frame.substr(kFrameHeaderLength);
      WireLayout found = Other(layout);
      PacketPtr again;
      ASSERT_FALSE(DecodePacket(payload.data(), payload.size(), again, &found));
      EXPECT_EQ(found, layout);
      // Re-encoded in the layout it came in, the bytes are the same.
      EXPECT_TRUE(EncodePacket(again, layout) == payload) << grd_svr_test::ClassOf(*p).name();
    }
  }
}

TEST(WireLayoutTest, NativeIsTheDefaultAndFollowsTheWordSize) {
  EXPECT_EQ(NativeWireLayout(), sizeof(void*) == 8 ? WireLayout::k64Bit : WireLayout::k32Bit);
  const PacketPtr ping = boost::make_shared<CGSvrPk_PingServer>(atRequest);
  EXPECT_TRUE(EncodePacket(ping) == EncodePacket(ping, NativeWireLayout()));
  EXPECT_FALSE(EncodePacket(ping) == EncodePacket(ping, Other(NativeWireLayout())));
}

TEST(WireLayoutTest, LayoutIsReportedForAPayloadRefusedAfterItsHeader) {
  for (WireLayout layout : kLayouts) {
    std::string payload = EncodePacket(boost::make_shared<CGSvrPk_GridKill>(atRequest), layout);
    payload.resize(payload.size() - 1);
    WireLayout found = Other(layout);
    PacketPtr out;
    EXPECT_EQ(DecodePacket(payload.data(), payload.size(), out, &found), FrameError());
    EXPECT_EQ(found, layout);
    EXPECT_FALSE(out);
  }
}

TEST(WireLayoutTest, NoLayoutIsReportedForBytesThatBeginNoArchive) {
  const std::string bytes[] = {std::string(), std::string("\x16\0\0", 3),
                               std::string("\x17\0\0\0\0\0\0\0", 8), "serialization::archive"};
  for (const std::string& b : bytes) {
    WireLayout found = WireLayout::k32Bit;
    EXPECT_FALSE(CCheckedIArchive::DetectLayout(b.data(), b.size(), &found));
    PacketPtr out;
    found = WireLayout::k32Bit;
    EXPECT_EQ(DecodePacket(b.data(), b.size(), out, &found), FrameError());
    EXPECT_EQ(found, WireLayout::k32Bit);
  }
}

// A 64-bit length that a 32-bit reader could only hold cut short must be
// refused, not narrowed: narrowed, this one would read as 3.
TEST(WireLayoutTest, WideLengthBeyondThirtyTwoBitsIsRefusedNotNarrowed) {
  auto copy = boost::make_shared<CGSvrPk_GridCopy>(atRequest);
  copy->m_SourceGridName = "abc";
  std::string payload = EncodePacket(copy, WireLayout::k64Bit);
  const std::size_t at = payload.find(Str("abc", WireLayout::k64Bit));
  ASSERT_NE(at, std::string::npos);
  payload.replace(at, 8, grd_svr_test::U64((std::uint64_t{1} << 32) + 3));
  PacketPtr out;
  EXPECT_EQ(DecodePacket(payload.data(), payload.size(), out), FrameError());
}

TEST(WireLayoutTest, CellsAndDoublesKeepTheirWidthInBothLayouts) {
  auto op = boost::make_shared<CGSvrPk_GridOp>(atResponse, GridLoad);
  op->m_CellSize = 2.5;
  op->m_GrdDataFLT = {1.5f, -2.5f};
  for (WireLayout layout : kLayouts) {
    const std::string payload = EncodePacket(op, layout);
    const std::string tail =
        Len(0, layout) + Len(2, layout) + grd_svr_test::F32(1.5f) + grd_svr_test::F32(-2.5f);
    EXPECT_TRUE(grd_svr_test::EndsWith(payload, tail));
    EXPECT_NE(payload.find(F64(2.5)), std::string::npos);
  }
}

}  // namespace
}  // namespace grd_svr
