// Verbs for the request handler's tests: a CGSvrIO over the test's workspace
// with a recording logger, requests of every class built in one line, and
// the exchange of one request.
#ifndef MIRL_TESTS_SERVER_HANDLER_FIXTURE_H_
#define MIRL_TESTS_SERVER_HANDLER_FIXTURE_H_

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <memory>
#include <string>

#include "protocol/packets.h"
#include "server/gsvr_io.h"
#include "server_fixture.h"

namespace server_test {

using PacketPtr = boost::shared_ptr<grd_svr::CGSvrPacket>;

class HandlerTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    if (IsSkipped()) return;
    StartHandler(2);
  }
  void TearDown() override {
    io_.reset();
    ServerTest::TearDown();
  }

  void StartHandler(std::int32_t io_mode) {
    io_.reset();
    io_.reset(new grd_svr::CGSvrIO(dir(), io_mode, &log_));
  }

  // Sends request and checks that the reply is the request object itself.
  template <class P>
  std::int32_t Send(const boost::shared_ptr<P>& request) {
    PacketPtr reply = io_->HandleRequest(request, error_text_);
    EXPECT_EQ(reply.get(), request.get());
    EXPECT_EQ(reply->GetActionType(), grd_svr::atResponse);
    return reply->GetErrorCode();
  }

  std::int32_t MakeWindowRequest(std::int32_t rows, std::int32_t cols, double x_ll = 0.0,
                                 double y_ll = 0.0, double cell_size = 1.0) {
    auto request = boost::make_shared<grd_svr::CGSvrPk_AccWndMake>(grd_svr::atRequest);
    request->m_RowCount = rows;
    request->m_ColCount = cols;
    request->m_XLowerLeft = x_ll;
    request->m_YLowerLeft = y_ll;
    request->m_CellSize = cell_size;
    return Send(request);
  }

  static boost::shared_ptr<grd_svr::CGSvrPk_GridOp> GridOp(std::int32_t action,
                                                           const std::string& name) {
    auto packet = boost::make_shared<grd_svr::CGSvrPk_GridOp>(grd_svr::atRequest, action);
    packet->m_GridName = name;
    packet->m_MissingINT = -9999;
    packet->m_MissingFLT = -9999.5f;
    return packet;
  }
  static boost::shared_ptr<grd_svr::CGSvrPk_BlockOp> BlockOp(std::int32_t action,
                                                             const std::string& name,
                                                             std::int32_t row, std::int32_t col,
                                                             std::int32_t rows, std::int32_t cols,
                                                             std::int32_t type) {
    auto packet = boost::make_shared<grd_svr::CGSvrPk_BlockOp>(grd_svr::atRequest, action);
    packet->m_GridName = name;
    packet->m_BlkStartRow = row;
    packet->m_BlkStartCol = col;
    packet->m_RowCount = rows;
    packet->m_ColCount = cols;
    packet->m_CellType = type;
    packet->m_MissingINT = -9999;
    packet->m_MissingFLT = -9999.5f;
    return packet;
  }

  RecordingLog log_;
  std::unique_ptr<grd_svr::CGSvrIO> io_;
  std::string error_text_;
};

}  // namespace server_test

#endif  // MIRL_TESTS_SERVER_HANDLER_FIXTURE_H_
