#include <gtest/gtest.h>

#include <boost/archive/basic_archive.hpp>
#include <boost/archive/binary_oarchive.hpp>
#include <cstring>
#include <sstream>
#include <string>
#include <typeinfo>

#include "protocol/export_keys.h"
#include "protocol/framing.h"
#include "protocol/packet_samples.h"
#include "protocol/packet_serialize.h"
#include "protocol/packets.h"
#include "protocol/wire_bytes.h"

namespace grd_svr {
namespace {

using grd_svr_test::EndsWith;
using grd_svr_test::F32;
using grd_svr_test::F64;
using grd_svr_test::I32;
using grd_svr_test::Len;
using grd_svr_test::PacketPtr;
using grd_svr_test::Str;

PacketPtr RoundTrip(const PacketPtr& p) {
  const std::string frame = EncodeFrame(p);
  PacketPtr back;
  EXPECT_FALSE(DecodeFrame(frame.data(), frame.size(), back));
  return back;
}

// The header fields as the archive writes them, in declaration order.
std::string HeaderBytes(const CGSvrPacket& p) {
  return Str(p.GetSignature()) + Str(p.GetClientHost()) + I32(p.GetActionID()) +
         I32(p.GetActionType()) + I32(p.GetErrorCode());
}

TEST(PacketCodecTest, EveryClassRoundTripsAsItselfWithEveryField) {
  for (const PacketPtr& p : grd_svr_test::SamplePackets()) {
    PacketPtr back = RoundTrip(p);
    ASSERT_TRUE(back) << grd_svr_test::ClassOf(*p).name();
    EXPECT_EQ(grd_svr_test::PacketDifference(*p, *back), "") << grd_svr_test::ClassOf(*p).name();
  }
}

TEST(PacketCodecTest, GridKillDecodesAsGridKillNotAsItsBase) {
  auto kill = boost::make_shared<CGSvrPk_GridKill>(atRequest);
  kill->m_GridName = "doomed";
  PacketPtr back = RoundTrip(kill);
  ASSERT_TRUE(back);
  EXPECT_EQ(grd_svr_test::ClassOf(*back), typeid(CGSvrPk_GridKill));
  EXPECT_EQ(back->GetActionID(), GridKill);
}

TEST(PacketCodecTest, EmptyPointerIsASuccessfulDecodeToEmpty) {
  PacketPtr back = boost::make_shared<CGSvrPk_PingServer>(atRequest);
  const std::string frame = EncodeFrame(PacketPtr());
  EXPECT_FALSE(DecodeFrame(frame.data(), frame.size(), back));
  EXPECT_FALSE(back);
}

TEST(PacketCodecTest, ArchiveHeaderIsBoostsNativeOne) {
  const std::string payload = EncodePacket(boost::make_shared<CGSvrPk_PingServer>(atRequest));
  const std::string signature = "serialization::archive";
  const std::size_t at = Str(signature).size();
  ASSERT_GT(payload.size(), at + 10);
  EXPECT_EQ(payload.substr(0, at), Str(signature));
  std::uint16_t version = 0;
  std::memcpy(&version, payload.data() + at, 2);
  EXPECT_EQ(version, 18);
  EXPECT_EQ(version, static_cast<unsigned>(boost::archive::BOOST_ARCHIVE_VERSION()));
  const char sizes[] = {4, static_cast<char>(sizeof(long)), 4, 8};
  EXPECT_EQ(payload.substr(at + 2, 4), std::string(sizes, 4));
  EXPECT_EQ(payload.substr(at + 6, 4), I32(1));
}

TEST(PacketCodecTest, HeaderOnlyPacketEndsWithTheFiveHeaderFieldsInOrder) {
  auto ping = boost::make_shared<CGSvrPk_PingServer>(atRequest);
  ping->SetClientHost("me");
  ping->SetErrorCode(-10003);
  EXPECT_TRUE(EndsWith(EncodePacket(ping), HeaderBytes(*ping)));
}

TEST(PacketCodecTest, DescriptionEncodesXBeforeYAfterTheHeader) {
  auto d = boost::make_shared<CGSvrPk_GridDescribe>(atRequest);
  d->m_GridName = "g";
  d->m_XLowerLeft = 1.0;
  d->m_YLowerLeft = 2.0;
  d->m_StatStdDev = 8.0;
  const std::string fields = Str("g") + I32(-1) + I32(-1) + I32(-1) + F64(1.0) + F64(2.0) +
                             F64(-1.0) + F64(-1.0) + F64(-1.0) + F64(-1.0) + F64(8.0);
  EXPECT_TRUE(EndsWith(EncodePacket(d), HeaderBytes(*d) + fields));
}

TEST(PacketCodecTest, GridKillEncodesAllElevenDescriptionFieldsAtDefaults) {
  auto kill = boost::make_shared<CGSvrPk_GridKill>(atRequest);
  kill->m_GridName = "k";
  std::string fields = Str("k") + I32(-1) + I32(-1) + I32(-1);
  for (int i = 0; i < 7; ++i) fields += F64(-1.0);
  EXPECT_TRUE(EndsWith(EncodePacket(kill), HeaderBytes(*kill) + fields));
}

TEST(PacketCodecTest, OneByOneIntegerBlockHasOneIntAndNoFloat) {
  auto b = boost::make_shared<CGSvrPk_BlockOp>(atRequest, BlockWrite);
  b->m_CellType = 1;
  b->m_RowCount = 1;
  b->m_ColCount = 1;
  b->m_BlkDataINT = {42};
  const std::string tail =
      I32(-1) /*missing*/ + F32(-1.0f) + I32(0) /*transparency*/ + Len(1) + I32(42) + Len(0);
  EXPECT_TRUE(EndsWith(EncodePacket(b), tail));
}

TEST(PacketCodecTest, GridOpCellsFollowTheirCountAsOneBlock) {
  auto op = boost::make_shared<CGSvrPk_GridOp>(atResponse, GridLoad);
  op->m_MissingINT = 5;
  op->m_MissingFLT = 6.5f;
  op->m_GrdDataFLT = {1.5f, 2.5f, 3.5f};
  const std::string tail = I32(5) + F32(6.5f) + Len(0) + Len(3) + F32(1.5f) + F32(2.5f) + F32(3.5f);
  EXPECT_TRUE(EndsWith(EncodePacket(op), tail));
}

TEST(PacketCodecTest, AccWndMakeStartsWithTheRowCountAfterTheHeader) {
  auto m = boost::make_shared<CGSvrPk_AccWndMake>(atRequest);
  m->m_RowCount = 77;
  m->m_BlockOnly = true;
  const std::string fields = I32(77) + I32(-1) + F64(-1.0) + F64(-1.0) + F64(-1.0) + "\x01";
  EXPECT_TRUE(EndsWith(EncodePacket(m), HeaderBytes(*m) + fields));
}

TEST(PacketCodecTest, NameListIsWrittenExactlyAsBoostWritesAVectorOfStrings) {
  std::vector<std::string> names = {"a", "", "longer name"};
  std::ostringstream native_out, wrapped_out;
  {
    boost::archive::binary_oarchive native(native_out, 0);
    native << names;
  }
  {
    boost::archive::binary_oarchive wrapped(wrapped_out, 0);
    wire::NameList list(names);
    wrapped << list;
  }
  EXPECT_EQ(wrapped_out.str(), native_out.str());
}

TEST(ExportKeysTest, AllThirteenAreRegistered) {
  EXPECT_EQ(PacketExportKeys().size(), 13u);
  EXPECT_TRUE(UnregisteredExportKeys().empty());
}

TEST(ExportKeysTest, EachDerivedPayloadNamesItsOwnKeyOnly) {
  for (const PacketPtr& p : grd_svr_test::SamplePackets()) {
    const std::string payload = EncodePacket(p);
    int keys_found = 0;
    std::string found;
    for (const std::string& key : PacketExportKeys()) {
      if (payload.find(Str(key)) != std::string::npos) {
        ++keys_found;
        found = key;
      }
    }
    if (grd_svr_test::ClassOf(*p) == typeid(CGSvrPacket)) {
      EXPECT_EQ(keys_found, 0);  // the pointer's static class needs no key
    } else {
      EXPECT_EQ(keys_found, 1) << grd_svr_test::ClassOf(*p).name();
      EXPECT_NE(std::string(grd_svr_test::ClassOf(*p).name()).find(found.substr(9)), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace grd_svr
