#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "handler_fixture.h"
#include "platform/debug_output.h"
#include "protocol/framing.h"
#include "server/gio_state.h"

namespace {

using grd_svr::CGSvrPacket;
using server_test::HandlerTest;
using server_test::PacketPtr;

// A packet of the given class and id whose signature is replaced on the
// wire, as a foreign peer would send it.
PacketPtr WithSignature(const PacketPtr& packet, const std::string& signature) {
  std::string payload = grd_svr::EncodePacket(packet);
  const std::string own = grd_svr::kPacketSignature;
  const std::string length_and_text = std::string("\x0c\0\0\0\0\0\0\0", 8) + own;
  const std::size_t at = payload.find(length_and_text);
  EXPECT_NE(at, std::string::npos);
  std::string replacement(8, '\0');
  replacement[0] = static_cast<char>(signature.size());
  payload.replace(at, length_and_text.size(), replacement + signature);
  PacketPtr decoded;
  EXPECT_FALSE(grd_svr::DecodePacket(payload.data(), payload.size(), decoded));
  return decoded;
}

TEST_F(HandlerTest, AnEmptyRequestIsAnsweredWithANewErrorReport) {
  PacketPtr reply = io_->HandleRequest(PacketPtr(), error_text_);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->GetActionID(), grd_svr::ErrorReport);
  EXPECT_EQ(reply->GetActionType(), grd_svr::atResponse);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrPackNull);
  EXPECT_TRUE(log_.calls.empty());
}

TEST_F(HandlerTest, IdentifiersWithoutAHandlerAreAnsweredInPlace) {
  for (std::int32_t id : {0, 1, 8, -3, 17, 1000}) {
    SCOPED_TRACE(id);
    auto request = boost::make_shared<CGSvrPacket>(grd_svr::atRequest, id, "grd_svr_v1.3");
    EXPECT_EQ(Send(request), grd_svr::ErrPackFunction);
    EXPECT_EQ(request->GetActionID(), id);
  }
}

TEST_F(HandlerTest, ARequestOfTheWrongClassIsMalformed) {
  auto grid_op = GridOp(grd_svr::BlockLoad, "x");
  grid_op->m_GrdDataINT = {1, 2};
  EXPECT_EQ(Send(grid_op), grd_svr::ErrPackMalformed);
  EXPECT_EQ(error_text_, "Mismatched packet type for action id [5]\n");
  EXPECT_TRUE(grid_op->m_GrdDataINT.empty());
  // A plain header under a real action.
  auto bare =
      boost::make_shared<CGSvrPacket>(grd_svr::atRequest, grd_svr::GridList, "grd_svr_v1.3");
  EXPECT_EQ(Send(bare), grd_svr::ErrPackMalformed);
  EXPECT_EQ(error_text_, "Mismatched packet type for action id [11]\n");
}

TEST_F(HandlerTest, AResponseSentAsARequestIsMalformed) {
  auto ping = boost::make_shared<grd_svr::CGSvrPk_PingServer>(grd_svr::atResponse);
  EXPECT_EQ(Send(ping), grd_svr::ErrPackMalformed);
  EXPECT_EQ(error_text_, "Malformed packet, expecting ActionType = atResponse [1] got [2]\n");
}

TEST_F(HandlerTest, GridRequestsCheckHollowModeBeforeTheirClass) {
  mirl::platform::SetAvailablePhysicalMemoryOverride(server_test::MB(6));
  ASSERT_EQ(MakeWindowRequest(3, 4), grd_svr::ErrNone);
  auto wrong_class =
      boost::make_shared<grd_svr::CGSvrPk_BlockOp>(grd_svr::atRequest, grd_svr::GridLoad);
  wrong_class->m_GridName = "g";
  EXPECT_EQ(Send(wrong_class), grd_svr::ErrGridTooBig);
}

TEST_F(HandlerTest, PingComparesTheSignature) {
  auto ping = boost::make_shared<grd_svr::CGSvrPk_PingServer>(grd_svr::atRequest);
  EXPECT_EQ(Send(ping), grd_svr::ErrNone);
  PacketPtr foreign = WithSignature(ping, "UNKNOWN");
  ASSERT_TRUE(foreign);
  foreign->SetActionType(grd_svr::atRequest);
  EXPECT_EQ(foreign->GetSignature(), "UNKNOWN");
  EXPECT_EQ(Send(foreign), grd_svr::ErrPackVersion);
}

TEST_F(HandlerTest, RetirementIsOnlyForARemoteServer) {
  auto retire = boost::make_shared<grd_svr::CGSvrPk_GridServerRetire>(grd_svr::atRequest);
  EXPECT_EQ(Send(retire), grd_svr::ErrGridServerRetireBadIOMode);
  StartHandler(1);
  auto remote = boost::make_shared<grd_svr::CGSvrPk_GridServerRetire>(grd_svr::atRequest);
  EXPECT_EQ(Send(remote), grd_svr::ErrNone);
  PacketPtr foreign = WithSignature(remote, "grd_svr_v1.2");
  foreign->SetActionType(grd_svr::atRequest);
  EXPECT_EQ(Send(foreign), grd_svr::ErrPackVersion);
}

TEST_F(HandlerTest, RequestAndReplyAreLoggedWithPaddedNames) {
  auto ping = boost::make_shared<grd_svr::CGSvrPk_PingServer>(grd_svr::atRequest);
  ping->SetClientHost("hostA");
  ASSERT_EQ(Send(ping), grd_svr::ErrNone);
  ASSERT_EQ(log_.calls.size(), 3u);
  EXPECT_EQ(log_.calls[0].text, "PingServer        | atRequest  | hostA");
  EXPECT_TRUE(log_.calls[0].stamp && log_.calls[0].newline);
  EXPECT_EQ(log_.calls[1].text,
            "PingServer        | atResponse | hostA | ErrNone                     ");
  EXPECT_TRUE(log_.calls[1].stamp && log_.calls[1].newline);
  // A ping has no fields of its own.
  EXPECT_EQ(log_.calls[2].text, "");
  EXPECT_FALSE(log_.calls[2].stamp);
  EXPECT_TRUE(log_.calls[2].newline);
  EXPECT_EQ(log_.flushes, 1);
}

TEST_F(HandlerTest, ReplyFieldsAreLoggedBehindTheReplyPrefix) {
  auto kill = boost::make_shared<grd_svr::CGSvrPk_GridKill>(grd_svr::atRequest);
  kill->m_GridName = "absent";
  ASSERT_EQ(Send(kill), grd_svr::ErrGridCannotFind);
  ASSERT_EQ(log_.calls.size(), 3u);
  EXPECT_EQ(log_.calls[1].text, "GridKill          | atResponse |  | ErrGridCannotFind           ");
  EXPECT_EQ(log_.calls[2].text, std::string(23, ' ') + "<- GRD[absent]\n");
}

TEST_F(HandlerTest, MakeReplyDropsCellsUnlessTheCodeKeepsThem) {
  struct Case {
    std::int32_t code;
    bool keeps;
  };
  for (const Case& c :
       {Case{grd_svr::ErrNone, true}, Case{grd_svr::ErrGridAccessWindowExists, true},
        Case{grd_svr::ErrGridCannotRead, false}, Case{grd_svr::ErrUnknown, false}}) {
    SCOPED_TRACE(c.code);
    auto block = BlockOp(grd_svr::BlockLoad, "x", 0, 0, 1, 1, 2);
    block->m_BlkDataFLT = {1.0f};
    PacketPtr reply = grd_svr::CGSvrIO::MakeReply(block, nullptr, c.code);
    EXPECT_EQ(reply.get(), block.get());
    EXPECT_EQ(reply->GetErrorCode(), c.code);
    EXPECT_EQ(reply->GetActionType(), grd_svr::atResponse);
    EXPECT_EQ(block->m_BlkDataFLT.size(), c.keeps ? 1u : 0u);
  }
}

TEST_F(HandlerTest, TheHandlerSetsTheProcessWideLoggerAndTakesItAlong) {
  EXPECT_EQ(grd_svr::GioState().log, &log_);
  std::vector<std::string> lines;
  mirl::platform::SetDebugSink(
      [](const std::string& text, void* context) {
        static_cast<std::vector<std::string>*>(context)->push_back(text);
      },
      &lines);
  io_.reset();
  mirl::platform::SetDebugSink(nullptr, nullptr);
  EXPECT_EQ(grd_svr::GioState().log, nullptr);
  EXPECT_EQ(lines, std::vector<std::string>{"Destructing CGSvrIO"});
}

TEST_F(HandlerTest, EveryRequestIsHandledUnderCriticalSectionA) {
  std::vector<std::string> lines;
  mirl::platform::SetDebugSink(
      [](const std::string& text, void* context) {
        static_cast<std::vector<std::string>*>(context)->push_back(text);
      },
      &lines);
  auto ping = boost::make_shared<grd_svr::CGSvrPk_PingServer>(grd_svr::atRequest);
  Send(ping);
  io_->HandleRequest(PacketPtr(), error_text_);
  mirl::platform::SetDebugSink(nullptr, nullptr);
  EXPECT_EQ(lines, (std::vector<std::string>{"Entering critical: A", "Leaving critical: A"}));
}

}  // namespace
