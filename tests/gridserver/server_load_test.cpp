// Many clients at once through the library's own TCP client: every reply is
// the right one, none is lost, and each client sees its own writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "gridserver_fixture.h"

namespace gridserver_test {
namespace {

constexpr int kClients = 8;
constexpr int kRequestsPerClient = 200;
constexpr int kRows = 4;
constexpr int kCols = 5;

std::string GridName(int client) { return "g" + std::to_string(client); }

// What one client expects of its own grid, kept as it writes.
struct Model {
  std::vector<float> cells;
};

// One client's run: requests in a fixed mix; every unexpected reply is
// written down rather than asserted, since this runs on its own thread.
void RunClient(int k, unsigned short port, Model model, std::vector<std::string>* faults,
               int* answered) {
  std::ofstream closed_log;  // the client writes no diagnostics through it
  auto client = MakeClient(port, &closed_log);
  std::vector<std::string> everyone;
  for (int c = 0; c < kClients; ++c) everyone.push_back(GridName(c));
  auto fault = [&](int i, const std::string& what) {
    faults->push_back("client " + std::to_string(k) + " request " + std::to_string(i) + ": " +
                      what);
  };
  for (int i = 0; i < kRequestsPerClient; ++i) {
    Packet reply;
    switch (i % 5) {
      case 0:
        reply = client->Exchange(Ping());
        if (!As<grd_svr::CGSvrPk_PingServer>(reply)) fault(i, "ping reply of the wrong class");
        break;
      case 1: {
        reply = client->Exchange(Describe(GridName(k)));
        auto* d = As<grd_svr::CGSvrPk_GridDescribe>(reply);
        if (!d || d->m_RowCount != kRows || d->m_ColCount != kCols || d->m_CellType != 2 ||
            d->m_GridName.find(GridName(k)) == std::string::npos)
          fault(i, "describe reply wrong");
        break;
      }
      case 2: {
        reply = client->Exchange(LoadGrid(GridName(k)));
        auto* g = As<grd_svr::CGSvrPk_GridOp>(reply);
        if (!g || g->m_GrdDataFLT != model.cells) fault(i, "load reply does not hold the grid");
        break;
      }
      case 3: {
        // One cell, walking over the grid, set to a value no other client uses.
        const int cell = (i / 5) % (kRows * kCols);
        const float value = static_cast<float>(k * 1000 + i);
        auto block =
            boost::make_shared<grd_svr::CGSvrPk_BlockOp>(grd_svr::atRequest, grd_svr::BlockWrite);
        block->m_GridName = GridName(k);
        block->m_BlkStartRow = cell / kCols;
        block->m_BlkStartCol = cell % kCols;
        block->m_RowCount = 1;
        block->m_ColCount = 1;
        block->m_CellType = 2;
        block->m_MissingFLT = -9999.0f;
        block->m_Transparency = 0;
        block->m_BlkDataFLT = {value};
        reply = client->Exchange(block);
        if (!As<grd_svr::CGSvrPk_BlockOp>(reply)) fault(i, "block write reply of the wrong class");
        model.cells[cell] = value;
        break;
      }
      default: {
        reply = client->Exchange(List(""));
        auto* l = As<grd_svr::CGSvrPk_GridList>(reply);
        std::vector<std::string> names = l ? l->m_GridNames : std::vector<std::string>();
        std::sort(names.begin(), names.end());
        std::vector<std::string> expected = everyone;
        std::sort(expected.begin(), expected.end());
        if (names != expected) fault(i, "list reply does not name every grid");
        break;
      }
    }
    if (!reply) {
      fault(i, "no reply");
      continue;
    }
    if (reply->GetActionType() != grd_svr::atResponse || reply->GetErrorCode() != grd_svr::ErrNone)
      fault(i, "reply code " + std::to_string(reply->GetErrorCode()));
    else
      ++*answered;
  }
}

TEST_F(GridServerTest, EightClientsTimesTwoHundredMixedRequestsAreAllAnsweredRightly) {
  Start();
  ASSERT_EQ(ExchangeCode(MakeWindow(kRows, kCols)), grd_svr::ErrNone);
  std::vector<Model> models(kClients);
  for (int k = 0; k < kClients; ++k) {
    for (int i = 0; i < kRows * kCols; ++i)
      models[k].cells.push_back(static_cast<float>(k * 100 + i));
    ASSERT_EQ(ExchangeCode(WriteGrid(GridName(k), kRows, kCols, models[k].cells)),
              grd_svr::ErrNone);
  }

  std::vector<std::vector<std::string>> faults(kClients);
  std::vector<int> answered(kClients, 0);
  std::vector<std::thread> threads;
  for (int k = 0; k < kClients; ++k)
    threads.emplace_back(RunClient, k, port(), models[k], &faults[k], &answered[k]);
  for (std::thread& t : threads) t.join();

  for (int k = 0; k < kClients; ++k) {
    EXPECT_EQ(answered[k], kRequestsPerClient) << "client " << k;
    for (const std::string& f : faults[k]) ADD_FAILURE() << f;
  }
}

}  // namespace
}  // namespace gridserver_test
