// The request handler from byte buffers: decoding, the root rule, the
// replies to what never reached the in-process handler, and retirement.
#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "gridserver_fixture.h"
#include "request_handler.h"
#include "root_guard.h"
#include "server/gio_holder.h"
#include "logging/multi_log.h"

namespace gridserver_test {
namespace {

class RequestHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessState();
    holder_.reset(new grd_svr::CGIO_Holder(MIRL_BINARY_DIR "/lib"));
    ASSERT_TRUE(holder_->IsReady());
    log_ = grd_svr::make_server_log(false, true, scratch_.file("server_log.txt"));
    ASSERT_TRUE(log_);
    root_dir_ = root_.str() + "/served";
    boost::filesystem::create_directories(root_dir_);
    handler_.reset(new grid_server::RequestHandler(root_dir_, log_.get()));
  }
  void TearDown() override {
    handler_.reset();
    log_.reset();
    ResetProcessState();
    holder_.reset();
  }

  // The decoded reply to a request packet sent as the wire would carry it.
  Packet Send(const Packet& request, bool* retire = nullptr) {
    const std::string payload = Payload(request);
    return Decode(handler_->HandlePayload(payload.data(), payload.size(), "test peer"), retire);
  }
  static std::string Payload(const Packet& request) { return grd_svr::EncodePacket(request); }
  static Packet Decode(const grid_server::HandlerReply& reply, bool* retire = nullptr) {
    if (retire != nullptr) *retire = reply.retire;
    const std::string message = reply.header + reply.payload.Join();
    Packet packet;
    EXPECT_FALSE(grd_svr::DecodeFrame(message.data(), message.size(), packet));
    return packet;
  }
  std::string LogText() { return FileText(scratch_.file("server_log.txt")); }

  // A 2 x 3 float grid of cells 1 to 6 written through the handler.
  void MakeGrid(const std::string& name) {
    ASSERT_EQ(Send(MakeWindow(2, 3))->GetErrorCode(), grd_svr::ErrNone);
    ASSERT_EQ(Send(WriteGrid(name, 2, 3, {1, 2, 3, 4, 5, 6}))->GetErrorCode(), grd_svr::ErrNone);
  }

  mirl_test::TempDir root_;
  mirl_test::TempDir scratch_;
  std::string root_dir_;
  std::unique_ptr<grd_svr::CGIO_Holder> holder_;
  boost::shared_ptr<grd_svr::IGSvrLog> log_;
  std::unique_ptr<grid_server::RequestHandler> handler_;
};

TEST_F(RequestHandlerTest, APingIsAnsweredInItsOwnClass) {
  Packet reply = Send(Ping());
  ASSERT_NE(As<grd_svr::CGSvrPk_PingServer>(reply), nullptr);
  EXPECT_EQ(reply->GetActionType(), grd_svr::atResponse);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrNone);
}

TEST_F(RequestHandlerTest, AGridInsideTheRootIsServedAndTheSameGridFromOutsideIsNot) {
  MakeGrid("dem");
  boost::filesystem::create_directories(root_dir_ + "/sub");
  // "./dem" stays inside; "../served/dem" names the same grid but climbs
  // out on the way, and "sub/../dem" goes through ".." (which a link at
  // "sub" would send elsewhere): both are refused before anything is read.
  Packet inside = Send(LoadGrid("./dem"));
  ASSERT_NE(As<grd_svr::CGSvrPk_GridOp>(inside), nullptr);
  EXPECT_EQ(inside->GetErrorCode(), grd_svr::ErrNone);
  EXPECT_EQ(As<grd_svr::CGSvrPk_GridOp>(inside)->m_GrdDataFLT,
            (std::vector<float>{1, 2, 3, 4, 5, 6}));

  EXPECT_EQ(Send(LoadGrid("sub/../dem"))->GetErrorCode(), grd_svr::ErrPackMalformed);
  Packet outside = Send(LoadGrid("../served/dem"));
  ASSERT_NE(As<grd_svr::CGSvrPk_GridOp>(outside), nullptr);
  EXPECT_EQ(outside->GetActionType(), grd_svr::atResponse);
  EXPECT_EQ(outside->GetErrorCode(), grd_svr::ErrPackMalformed);
  EXPECT_TRUE(As<grd_svr::CGSvrPk_GridOp>(outside)->m_GrdDataFLT.empty());

  Packet absolute = Send(Describe(root_dir_ + "/dem"));
  EXPECT_EQ(absolute->GetErrorCode(), grd_svr::ErrPackMalformed);
  EXPECT_EQ(As<grd_svr::CGSvrPk_GridDescribe>(absolute)->m_RowCount, -1);  // nothing filled
  EXPECT_EQ(Send(Describe("dem"))->GetErrorCode(), grd_svr::ErrNone);
}

TEST_F(RequestHandlerTest, AListOfAnotherDirectoryIsRefusedUnwalked) {
  boost::filesystem::create_directories(root_.str() + "/elsewhere/grid_a");
  auto list = List(root_.str() + "/elsewhere");
  Packet reply = Send(list);
  ASSERT_NE(As<grd_svr::CGSvrPk_GridList>(reply), nullptr);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrPackMalformed);
  EXPECT_TRUE(As<grd_svr::CGSvrPk_GridList>(reply)->m_GridNames.empty());
  EXPECT_EQ(Send(List(".."))->GetErrorCode(), grd_svr::ErrPackMalformed);
  EXPECT_EQ(Send(List(""))->GetErrorCode(), grd_svr::ErrNone);
}

TEST_F(RequestHandlerTest, ACopyOutOfTheRootLeavesNoFileBehind) {
  MakeGrid("dem");
  auto copy = boost::make_shared<grd_svr::CGSvrPk_GridCopy>(grd_svr::atRequest);
  copy->m_SourceGridName = "dem";
  copy->m_DestinationGridName = "../stolen";
  EXPECT_EQ(Send(copy)->GetErrorCode(), grd_svr::ErrPackMalformed);
  EXPECT_FALSE(boost::filesystem::exists(root_.str() + "/stolen"));

  auto kept = boost::make_shared<grd_svr::CGSvrPk_GridCopy>(grd_svr::atRequest);
  kept->m_SourceGridName = "dem";
  kept->m_DestinationGridName = "copy";
  EXPECT_EQ(Send(kept)->GetErrorCode(), grd_svr::ErrNone);
  EXPECT_TRUE(boost::filesystem::is_directory(root_dir_ + "/copy"));
}

TEST_F(RequestHandlerTest, ARefusalIsLoggedWithThePeerAndTheReplyLine) {
  Send(LoadGrid("/etc/passwd"));
  const std::string log = LogText();
  EXPECT_NE(log.find("GridLoad          | atRequest  | "), std::string::npos) << log;
  EXPECT_NE(log.find("Refused a request from : the name '/etc/passwd' is absolute"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("GridLoad          | atResponse |  | ErrPackMalformed"), std::string::npos)
      << log;
}

TEST_F(RequestHandlerTest, BytesThatDoNotDecodeGetAnErrorReport) {
  const std::string garbage = "this is not an archive";
  Packet reply = Decode(handler_->HandlePayload(garbage.data(), garbage.size(), "peer"));
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->GetActionID(), grd_svr::ErrorReport);
  EXPECT_EQ(reply->GetActionType(), grd_svr::atResponse);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrPackMalformed);
  // A truncated real request as well.
  const std::string ping = Payload(Ping());
  reply = Decode(handler_->HandlePayload(ping.data(), ping.size() - 1, "peer"));
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrPackMalformed);
  reply = Decode(handler_->HandlePayload(nullptr, 0, "peer"));
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrPackMalformed);
}

TEST_F(RequestHandlerTest, AnArchiveOfNoPacketIsAnsweredAsTheHandlerDoes) {
  Packet reply = Send(Packet());
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->GetActionID(), grd_svr::ErrorReport);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrPackNull);
}

TEST_F(RequestHandlerTest, ARefusedFrameGetsAnErrorReportWithTheCodeNamed) {
  Packet reply = Decode(handler_->RefuseFrame(grd_svr::ErrGridTooBig, "too long", "peer 9"));
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->GetActionID(), grd_svr::ErrorReport);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrGridTooBig);
  EXPECT_NE(LogText().find("Refused a request from peer 9: too long"), std::string::npos);
}

TEST_F(RequestHandlerTest, OnlyAGrantedRetireAsksTheServerToStop) {
  bool retire = false;
  Packet reply = Send(Retire(), &retire);
  ASSERT_NE(As<grd_svr::CGSvrPk_GridServerRetire>(reply), nullptr);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrNone);
  EXPECT_TRUE(retire);

  // A retire request carrying another protocol's signature is refused.
  std::string foreign = Payload(Retire());
  const std::string signature = grd_svr::kPacketSignature;
  const std::size_t at = foreign.find(signature);
  ASSERT_NE(at, std::string::npos);
  foreign.replace(at, signature.size(), "grd_svr_v0.9");
  reply = Decode(handler_->HandlePayload(foreign.data(), foreign.size(), "peer"), &retire);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrPackVersion);
  EXPECT_FALSE(retire);

  // The retire action carried by a packet of another class is malformed.
  auto impostor =
      boost::make_shared<grd_svr::CGSvrPk_GridOp>(grd_svr::atRequest, grd_svr::GridServerRetire);
  reply = Send(impostor, &retire);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrPackMalformed);
  EXPECT_FALSE(retire);
}

// The peak resident memory of this process, in bytes.
std::uint64_t PeakResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.compare(0, 6, "VmHWM:") == 0) return std::stoull(line.substr(6)) * 1024;
  return 0;
}

boost::shared_ptr<grd_svr::CGSvrPk_BlockOp> ReadBlock(const std::string& name, int rows,
                                                      int cols) {
  auto block = boost::make_shared<grd_svr::CGSvrPk_BlockOp>(grd_svr::atRequest, grd_svr::BlockLoad);
  block->m_GridName = name;
  block->m_BlkStartRow = -10;
  block->m_BlkStartCol = -10;
  block->m_RowCount = rows;
  block->m_ColCount = cols;
  block->m_CellType = 2;
  block->m_MissingFLT = -1.0f;
  return block;
}

TEST_F(RequestHandlerTest, ABlockTooLargeForAFrameIsRefusedBeforeItsCellsExist) {
  MakeGrid("dem");
  const std::uint64_t peak_before = PeakResidentBytes();
  // 46,340 x 46,340 float cells would be 8.6 GB, asked for by a packet of a
  // few dozen bytes.
  for (int side : {6000, 20000, 46340}) {
    Packet reply = Send(ReadBlock("dem", side, side));
    ASSERT_NE(As<grd_svr::CGSvrPk_BlockOp>(reply), nullptr);
    EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrGridTooBig) << side;
    EXPECT_TRUE(As<grd_svr::CGSvrPk_BlockOp>(reply)->m_BlkDataFLT.empty());
  }
  // The kernel's resident counts are summed lazily, so the peak read later
  // can be a few pages below the one read first (seen under qemu).
  const std::uint64_t peak_after = PeakResidentBytes();
  EXPECT_LT(peak_after > peak_before ? peak_after - peak_before : 0, std::uint64_t{64} << 20);
  EXPECT_NE(LogText().find("Refused a request from test peer: its reply would be longer than the "
                           "largest frame"),
            std::string::npos);

  // A block cut to fit is served.
  Packet reply = Send(ReadBlock("dem", 30, 30));
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrNone);
  EXPECT_EQ(As<grd_svr::CGSvrPk_BlockOp>(reply)->m_BlkDataFLT.size(), 900u);
}

TEST_F(RequestHandlerTest, AReplyWhoseCellsFitButWhoseFrameDoesNotTellsTheClientWhy) {
  MakeGrid("dem");
  // Exactly a frame's worth of cell bytes: the fields around them overflow it.
  Packet reply = Send(ReadBlock("dem", 4096, 8192));
  ASSERT_NE(As<grd_svr::CGSvrPk_BlockOp>(reply), nullptr);
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrGridTooBig);
  EXPECT_TRUE(As<grd_svr::CGSvrPk_BlockOp>(reply)->m_BlkDataFLT.empty());
  EXPECT_NE(LogText().find("could not be sent whole; sent as ErrGridTooBig"), std::string::npos);
}

TEST_F(RequestHandlerTest, AWholeGridReadOfAWindowTooLargeForAFrameIsRefusedUnloaded) {
  // 6000 x 6000 cells: more than a frame carries, within what a Hollow
  // window allows.
  ASSERT_EQ(Send(MakeWindow(6000, 6000))->GetErrorCode(), grd_svr::ErrNone);
  Packet reply = Send(LoadGrid("dem"));
  EXPECT_EQ(reply->GetErrorCode(), grd_svr::ErrGridTooBig);
  EXPECT_NE(LogText().find("its reply would be longer than the largest frame"), std::string::npos);
}

TEST_F(RequestHandlerTest, AGridNamedLikeAFillerIsRefusedAndNothingIsWritten) {
  ASSERT_EQ(Send(MakeWindow(2, 3))->GetErrorCode(), grd_svr::ErrNone);
  const std::string filler = "f_i_l_l_e_r__g_r_i_d_0";
  for (const std::string& name : {filler, " " + filler + " "}) {
    EXPECT_EQ(Send(WriteGrid(name, 2, 3, {1, 2, 3, 4, 5, 6}))->GetErrorCode(),
              grd_svr::ErrPackMalformed);
    EXPECT_EQ(Send(LoadGrid(name))->GetErrorCode(), grd_svr::ErrPackMalformed);
  }
  EXPECT_FALSE(boost::filesystem::exists(filler));
  EXPECT_FALSE(boost::filesystem::exists(root_dir_ + "/" + filler));
}

TEST_F(RequestHandlerTest, RepliesNameGridsRelativeToTheRoot) {
  MakeGrid("dem");
  boost::filesystem::create_directories(root_dir_ + "/sub");
  Packet load = Send(LoadGrid("dem"));
  EXPECT_EQ(As<grd_svr::CGSvrPk_GridOp>(load)->m_GridName, "dem");
  EXPECT_EQ(As<grd_svr::CGSvrPk_GridDescribe>(Send(Describe(" dem")))->m_GridName, " dem");
  EXPECT_EQ(As<grd_svr::CGSvrPk_GridDescribe>(Send(Describe("dem")))->m_GridName, "dem");
  auto copy = boost::make_shared<grd_svr::CGSvrPk_GridCopy>(grd_svr::atRequest);
  copy->m_SourceGridName = "dem";
  copy->m_DestinationGridName = "sub/copy";
  Packet copied = Send(copy);
  ASSERT_EQ(copied->GetErrorCode(), grd_svr::ErrNone);
  EXPECT_EQ(As<grd_svr::CGSvrPk_GridCopy>(copied)->m_SourceGridName, "dem");
  EXPECT_EQ(As<grd_svr::CGSvrPk_GridCopy>(copied)->m_DestinationGridName, "sub/copy");
  EXPECT_EQ(LogText().find(root_dir_ + "/dem") != std::string::npos, true)
      << "the server's own log keeps the full paths";
}

TEST(RootRelativeNames, OnlyNamesAtOrBelowTheRootAreRewritten) {
  grd_svr::CGSvrPk_GridCopy copy(grd_svr::atResponse);
  const auto relative = [&copy](const std::string& root, const std::string& name) {
    copy.m_SourceGridName = name;
    grid_server::NameRepliesRelativeToRoot(copy, root);
    return copy.m_SourceGridName;
  };
  EXPECT_EQ(relative("/srv/root", "/srv/root/dem"), "dem");
  EXPECT_EQ(relative("/srv/root/", "/srv/root//sub/dem"), "sub/dem");
  EXPECT_EQ(relative("/srv/root", "/srv/root"), ".");
  EXPECT_EQ(relative("/srv/root", "/srv/rootx/dem"), "/srv/rootx/dem");
  EXPECT_EQ(relative("/srv/root", "dem"), "dem");
  EXPECT_EQ(relative("/", "/dem"), "dem");
}

// A 32-bit client writes 4-byte size fields and can read only what it
// writes: each reply, a refusal included, comes back in the request's layout.
TEST_F(RequestHandlerTest, EachRequestIsAnsweredInTheLayoutItCameIn) {
  MakeGrid("dem");
  for (grd_svr::WireLayout layout : {grd_svr::WireLayout::k32Bit, grd_svr::WireLayout::k64Bit}) {
    const std::string request = grd_svr::EncodePacket(LoadGrid("dem"), layout);
    const grid_server::HandlerReply reply =
        handler_->HandlePayload(request.data(), request.size(), "test peer");
    Packet packet;
    grd_svr::WireLayout found = grd_svr::WireLayout::k64Bit;
    if (layout == found) found = grd_svr::WireLayout::k32Bit;
    const std::string payload = reply.payload.Join();
    ASSERT_FALSE(grd_svr::DecodePacket(payload.data(), payload.size(), packet, &found));
    EXPECT_EQ(found, layout);
    auto* grid = As<grd_svr::CGSvrPk_GridOp>(packet);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->m_GrdDataFLT, std::vector<float>({1, 2, 3, 4, 5, 6}));

    std::string broken = request;
    broken.resize(broken.size() - 3);
    const grid_server::HandlerReply refusal =
        handler_->HandlePayload(broken.data(), broken.size(), "test peer");
    found = layout == grd_svr::WireLayout::k64Bit ? grd_svr::WireLayout::k32Bit
                                                  : grd_svr::WireLayout::k64Bit;
    const std::string refused = refusal.payload.Join();
    ASSERT_FALSE(grd_svr::DecodePacket(refused.data(), refused.size(), packet, &found));
    EXPECT_EQ(found, layout);
    EXPECT_EQ(packet->GetErrorCode(), grd_svr::ErrPackMalformed);
  }
}

}  // namespace
}  // namespace gridserver_test
