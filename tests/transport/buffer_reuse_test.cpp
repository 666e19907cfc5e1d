// The client lends one message buffer from exchange to exchange. Whatever a
// larger earlier message left in it must never reach the wire or a decoded
// reply: each request goes out as exactly its own frame, and each reply is
// decoded from exactly its own bytes, whether the buffer grows or shrinks.
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <mutex>
#include <string>
#include <vector>

#include "client_fixture.h"
#include "protocol/framing.h"

namespace mirl_test {
namespace {

using grd_svr::CGSvrPacket;
using grd_svr::CGSvrPk_GridOp;

boost::shared_ptr<CGSvrPk_GridOp> Grid(int rows, int cols, float base) {
  auto grid = boost::make_shared<CGSvrPk_GridOp>(grd_svr::atRequest, grd_svr::GridWrite);
  grid->m_GridName = "reuse";
  grid->m_CellType = 2;
  grid->m_RowCount = rows;
  grid->m_ColCount = cols;
  for (int i = 0; i < rows * cols; ++i) grid->m_GrdDataFLT.push_back(base + static_cast<float>(i));
  return grid;
}

// Echoes every request frame and keeps a copy of its bytes.
class RecordingEcho {
 public:
  TestServer::Behaviour behaviour() {
    return [this](tcp::socket& socket) {
      const ReceivedFrame frame = ReadFrame(socket);
      if (!frame.complete) return;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        frames_.push_back(frame.header + frame.payload);
      }
      Send(socket, frame.header + frame.payload);
    };
  }
  std::vector<std::string> frames() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> frames_;
};

TEST_F(ClientTest, GrowingAndShrinkingMessagesEachTravelAsExactlyThemselves) {
  RecordingEcho echo;
  TestServer server(echo.behaviour());
  server.Listen();
  auto client = MakeClient(server.port());
  // Big, tiny, small, bigger than all before, tiny again.
  const std::vector<boost::shared_ptr<CGSvrPacket>> requests = {
      Grid(300, 400, 1.0f), Ping(), Grid(2, 3, -50.0f), Grid(500, 400, 7.0f), Ping()};

  std::vector<boost::shared_ptr<CGSvrPacket>> replies;
  for (const auto& request : requests) replies.push_back(client->Exchange(request));

  const std::vector<std::string> frames = echo.frames();
  ASSERT_EQ(frames.size(), requests.size());
  for (std::size_t i = 0; i < requests.size(); ++i) {
    SCOPED_TRACE(i);
    // The request is stamped with the host name by Exchange, so its frame
    // is built after the exchange.
    EXPECT_TRUE(frames[i] == grd_svr::EncodeFrame(requests[i]));
    ASSERT_TRUE(replies[i]);
    EXPECT_TRUE(grd_svr::EncodeFrame(replies[i]) == frames[i]);
  }
  auto* small = dynamic_cast<CGSvrPk_GridOp*>(replies[2].get());
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(small->m_GrdDataFLT, (std::vector<float>{-50, -49, -48, -47, -46, -45}));
  EXPECT_EQ(LogText(), "");
}

}  // namespace
}  // namespace mirl_test
