// A payload in pieces is the encoded payload byte for byte, and a grid's
// cells are referred to where they sit in the packet instead of copied.
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <string>
#include <vector>

#include "packet_samples.h"
#include "protocol/framing.h"
#include "protocol/payload_pieces.h"

namespace grd_svr {
namespace {

using grd_svr_test::PacketPtr;

std::string Joined(const PacketPtr& packet) {
  CPayloadPieces pieces;
  EncodePacketPieces(packet, pieces);
  EXPECT_EQ(pieces.Join().size(), pieces.size());
  return pieces.Join();
}

boost::shared_ptr<CGSvrPk_GridOp> LargeGrid(std::size_t cells) {
  auto op = boost::make_shared<CGSvrPk_GridOp>(atResponse, GridLoad);
  op->m_GridName = "dem";
  op->m_GrdDataINT = {1, 2, 3};
  for (std::size_t i = 0; i < cells; ++i) op->m_GrdDataFLT.push_back(static_cast<float>(i) * 0.5f);
  return op;
}

TEST(PayloadPiecesTest, EveryPacketClassJoinsToItsEncodedPayload) {
  for (const PacketPtr& packet : grd_svr_test::SamplePackets())
    EXPECT_EQ(Joined(packet), EncodePacket(packet)) << grd_svr_test::ClassOf(*packet).name();
  EXPECT_EQ(Joined(PacketPtr()), EncodePacket(PacketPtr()));
}

TEST(PayloadPiecesTest, EachLayoutJoinsToItsOwnEncodedPayload) {
  for (WireLayout layout : {WireLayout::k32Bit, WireLayout::k64Bit}) {
    for (const PacketPtr& packet : {PacketPtr(LargeGrid(100000)), grd_svr_test::SamplePackets()[0]}) {
      CPayloadPieces pieces;
      EncodePacketPieces(packet, pieces, layout);
      EXPECT_EQ(pieces.Join(), EncodePacket(packet, layout));
    }
  }
}

TEST(PayloadPiecesTest, AGridsCellsAreReferredToInPlaceAndTheRestIsCopied) {
  auto op = LargeGrid(100000);
  CPayloadPieces pieces;
  EncodePacketPieces(op, pieces);
  EXPECT_EQ(pieces.Join(), EncodePacket(op));
  const std::vector<CPayloadPieces::Piece> parts = pieces.Pieces();
  // The fields and counts before the cells (the short integer vector copied
  // with them), then the float cells where they are; they end the payload.
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_NE(parts[0].data, reinterpret_cast<const char*>(op->m_GrdDataINT.data()));
  EXPECT_EQ(parts[1].data, reinterpret_cast<const char*>(op->m_GrdDataFLT.data()));
  EXPECT_EQ(parts[1].size, op->m_GrdDataFLT.size() * sizeof(float));
  EXPECT_EQ(parts[0].size + parts[1].size, pieces.size());
}

TEST(PayloadPiecesTest, ABlockJustBelowTheThresholdIsCopiedAndOneAtItReferred) {
  const std::size_t at = kReferredBlockBytes / sizeof(float);
  for (std::size_t cells : {at - 1, at}) {
    auto op = LargeGrid(cells);
    CPayloadPieces pieces;
    EncodePacketPieces(op, pieces);
    bool referred = false;
    for (const CPayloadPieces::Piece& part : pieces.Pieces())
      referred |= part.data == reinterpret_cast<const char*>(op->m_GrdDataFLT.data());
    EXPECT_EQ(referred, cells == at) << cells;
    EXPECT_EQ(pieces.Join(), EncodePacket(op));
  }
}

TEST(PayloadPiecesTest, EncodingAgainReplacesWhatThePiecesHeld) {
  CPayloadPieces pieces;
  EncodePacketPieces(LargeGrid(50000), pieces);
  auto ping = boost::make_shared<CGSvrPk_PingServer>(atResponse);
  EncodePacketPieces(ping, pieces);
  EXPECT_EQ(pieces.Join(), EncodePacket(ping));
  EXPECT_EQ(pieces.size(), EncodePacket(ping).size());
}

}  // namespace
}  // namespace grd_svr
