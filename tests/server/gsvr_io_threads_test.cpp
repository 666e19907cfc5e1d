#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <boost/make_shared.hpp>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "handler_fixture.h"

namespace {

constexpr int kRows = 20;
constexpr int kCols = 30;
constexpr int kThreads = 4;
constexpr int kRequestsPerThread = 250;

class ThreadedRequestTest : public server_test::HandlerTest {
 protected:
  void SetUp() override {
    HandlerTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_EQ(MakeWindowRequest(kRows, kCols), grd_svr::ErrNone);
    std::vector<std::int32_t> cells;
    for (int r = 0; r < kRows; ++r)
      for (int c = 0; c < kCols; ++c) cells.push_back(r * 100 + c);
    WriteIntLayer("shared", cells);
  }

  // Runs one thread's mixed requests; adds to increments every grid cell its
  // block writes added 1 to, and counts the replies that were not right.
  void Client(int seed, std::vector<int>* increments, std::atomic<int>* wrong) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> start_row(-3, kRows - 1);
    std::uniform_int_distribution<int> start_col(-3, kCols - 1);
    std::uniform_int_distribution<int> extent(1, 6);
    std::string error_text;
    for (int n = 0; n < kRequestsPerThread; ++n) {
      const int k = kind(random);
      if (k < 5) {
        const int row = start_row(random), col = start_col(random);
        const int rows = extent(random), cols = extent(random);
        auto write = BlockOp(grd_svr::BlockWrite, "shared", row, col, rows, cols, 1);
        write->m_Transparency = 2;
        write->m_BlkDataINT.assign(static_cast<std::size_t>(rows) * cols, 1);
        if (io_->HandleRequest(write, error_text)->GetErrorCode() != grd_svr::ErrNone ||
            !write->m_BlkDataINT.empty())
          ++*wrong;
        for (int i = std::max(row, 0); i < std::min(row + rows, kRows); ++i)
          for (int j = std::max(col, 0); j < std::min(col + cols, kCols); ++j)
            ++(*increments)[i * kCols + j];
      } else if (k < 7) {
        auto read = BlockOp(grd_svr::BlockLoad, "shared", -1, -1, 3, 3, 1);
        // The corner block's outside cells are the caller's missing value
        // whatever the writers did meanwhile.
        if (io_->HandleRequest(read, error_text)->GetErrorCode() != grd_svr::ErrNone ||
            read->m_BlkDataINT.size() != 9u || read->m_BlkDataINT[0] != -9999 ||
            read->m_BlkDataINT[3] != -9999 || read->m_BlkDataINT[4] < 0)
          ++*wrong;
      } else if (k < 8) {
        auto load = GridOp(grd_svr::GridLoad, "shared");
        if (io_->HandleRequest(load, error_text)->GetErrorCode() != grd_svr::ErrNone ||
            load->m_GrdDataINT.size() != static_cast<std::size_t>(kRows) * kCols)
          ++*wrong;
      } else if (k < 9) {
        auto get = boost::make_shared<grd_svr::CGSvrPk_AccWndGet>(grd_svr::atRequest);
        if (io_->HandleRequest(get, error_text)->GetErrorCode() != grd_svr::ErrNone ||
            get->m_RowCount != kRows)
          ++*wrong;
      } else {
        auto ping = boost::make_shared<grd_svr::CGSvrPk_PingServer>(grd_svr::atRequest);
        if (io_->HandleRequest(ping, error_text)->GetErrorCode() != grd_svr::ErrNone) ++*wrong;
      }
    }
  }
};

TEST_F(ThreadedRequestTest, ConcurrentRequestsAreSerialisedAndAllAnswered) {
  std::vector<std::vector<int>> increments(kThreads, std::vector<int>(kRows * kCols, 0));
  std::atomic<int> wrong{0};
  log_.calls.clear();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back(
        [this, t, &increments, &wrong] { Client(1000 + t, &increments[t], &wrong); });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);

  // Every request was logged once, whole.
  int request_lines = 0;
  for (const server_test::LogCall& call : log_.calls)
    if (call.text.find(" | atRequest  | ") != std::string::npos) ++request_lines;
  EXPECT_EQ(request_lines, kThreads * kRequestsPerThread);

  const std::vector<std::int32_t> disk = ReadIntLayer("shared");
  auto load = GridOp(grd_svr::GridLoad, "shared");
  ASSERT_EQ(Send(load), grd_svr::ErrNone);
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kCols; ++c) {
      int added = 0;
      for (const std::vector<int>& mine : increments) added += mine[r * kCols + c];
      const std::int32_t expected = r * 100 + c + added;
      ASSERT_EQ(disk[r * kCols + c], expected) << "row " << r << " col " << c;
      ASSERT_EQ(load->m_GrdDataINT[r * kCols + c], expected) << "row " << r << " col " << c;
    }
  }
}

}  // namespace
