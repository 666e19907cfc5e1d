#include "mixed_workload.h"

#include <boost/make_shared.hpp>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <thread>

#include "protocol/packets.h"
#include "transport/tcp_client.h"

namespace grid_server_bench {
namespace {

using Packet = boost::shared_ptr<grd_svr::CGSvrPacket>;
constexpr std::size_t kMaxFaults = 5;

std::unique_ptr<grd_svr::CGSvrClient> Client(unsigned short port, std::ofstream* log) {
  auto client = std::make_unique<grd_svr::CGSvrClient>("127.0.0.1", std::to_string(port), log);
  grd_svr::TransportTiming timing;
  timing.max_attempts = 1;
  timing.short_pause_ms = 0;
  timing.long_pause_ms = 0;
  timing.connect_timeout_ms = 10000;
  timing.silence_timeout_ms = 20000;
  client->SetTiming(timing);
  return client;
}

bool Answered(const Packet& reply) {
  return reply && reply->GetActionType() == grd_svr::atResponse &&
         reply->GetErrorCode() == grd_svr::ErrNone;
}

bool RightGrid(const Packet& reply) {
  const auto* g = dynamic_cast<const grd_svr::CGSvrPk_GridOp*>(reply.get());
  if (g == nullptr || g->m_RowCount != kMixedRows || g->m_ColCount != kMixedCols) return false;
  if (g->m_GrdDataFLT.size() != static_cast<std::size_t>(kMixedRows) * kMixedCols) return false;
  for (int r = 0; r < kMixedRows; ++r)
    for (int c = 0; c < kMixedCols; ++c)
      if (g->m_GrdDataFLT[static_cast<std::size_t>(r) * kMixedCols + c] != MixedCell(r, c))
        return false;
  return true;
}

bool RightBlock(const Packet& reply, int row0, int col0, int rows, int cols) {
  const auto* b = dynamic_cast<const grd_svr::CGSvrPk_BlockOp*>(reply.get());
  if (b == nullptr || b->m_BlkDataFLT.size() != static_cast<std::size_t>(rows) * cols) return false;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const int gr = row0 + r, gc = col0 + c;
      const bool inside = gr >= 0 && gr < kMixedRows && gc >= 0 && gc < kMixedCols;
      const float expected = inside ? MixedCell(gr, gc) : kMixedMissing;
      if (b->m_BlkDataFLT[static_cast<std::size_t>(r) * cols + c] != expected) return false;
    }
  }
  return true;
}

bool RightDescription(const Packet& reply) {
  const auto* d = dynamic_cast<const grd_svr::CGSvrPk_GridDescribe*>(reply.get());
  return d != nullptr && d->m_RowCount == kMixedRows && d->m_ColCount == kMixedCols &&
         d->m_CellType == 2 && d->m_GridName.find(kMixedLayer) != std::string::npos;
}

}  // namespace

float MixedCell(int row, int col) {
  if ((row * 7 + col) % 97 == 0) return kMixedMissing;
  return static_cast<float>(row * 1000 + col) + 0.25f;
}

void PrepareMixedLayer(unsigned short port) {
  std::ofstream no_log;
  auto client = Client(port, &no_log);
  auto window = boost::make_shared<grd_svr::CGSvrPk_AccWndMake>(grd_svr::atRequest);
  window->m_RowCount = kMixedRows;
  window->m_ColCount = kMixedCols;
  window->m_CellSize = 10.0;
  if (!Answered(client->Exchange(window))) throw std::runtime_error("the window was refused");
  auto write = boost::make_shared<grd_svr::CGSvrPk_GridOp>(grd_svr::atRequest, grd_svr::GridWrite);
  write->m_GridName = kMixedLayer;
  write->m_RowCount = kMixedRows;
  write->m_ColCount = kMixedCols;
  write->m_CellType = 2;
  write->m_MissingINT = static_cast<std::int32_t>(kMixedMissing);
  write->m_MissingFLT = kMixedMissing;
  for (int r = 0; r < kMixedRows; ++r)
    for (int c = 0; c < kMixedCols; ++c) write->m_GrdDataFLT.push_back(MixedCell(r, c));
  if (!Answered(client->Exchange(write))) throw std::runtime_error("the layer was not written");
}

ClientFigures RunMixedClient(unsigned short port, int requests, unsigned seed, int think_ms) {
  ClientFigures figures;
  std::ofstream no_log;  // closed: the client keeps its diagnostics to itself
  auto client = Client(port, &no_log);
  std::mt19937 random(seed);
  auto pick = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  for (int i = 0; i < requests; ++i) {
    const int kind = pick(0, 99);
    Packet request;
    std::function<bool(const Packet&)> right;
    if (kind < 20) {
      request = boost::make_shared<grd_svr::CGSvrPk_PingServer>(grd_svr::atRequest);
      right = [](const Packet& reply) {
        return dynamic_cast<const grd_svr::CGSvrPk_PingServer*>(reply.get()) != nullptr;
      };
    } else if (kind < 40) {
      auto d = boost::make_shared<grd_svr::CGSvrPk_GridDescribe>(grd_svr::atRequest);
      d->m_GridName = kMixedLayer;
      request = d;
      right = RightDescription;
    } else if (kind < 85) {
      const int rows = pick(1, 64);
      const int cols = pick(1, 64);
      const int row0 = pick(-8, kMixedRows - 1);
      const int col0 = pick(-8, kMixedCols - 1);
      auto b = boost::make_shared<grd_svr::CGSvrPk_BlockOp>(grd_svr::atRequest, grd_svr::BlockLoad);
      b->m_GridName = kMixedLayer;
      b->m_BlkStartRow = row0;
      b->m_BlkStartCol = col0;
      b->m_RowCount = rows;
      b->m_ColCount = cols;
      b->m_CellType = 2;
      b->m_MissingINT = static_cast<std::int32_t>(kMixedMissing);
      b->m_MissingFLT = kMixedMissing;
      request = b;
      right = [=](const Packet& reply) { return RightBlock(reply, row0, col0, rows, cols); };
    } else {
      auto g = boost::make_shared<grd_svr::CGSvrPk_GridOp>(grd_svr::atRequest, grd_svr::GridLoad);
      g->m_GridName = kMixedLayer;
      g->m_MissingINT = static_cast<std::int32_t>(kMixedMissing);
      g->m_MissingFLT = kMixedMissing;
      request = g;
      right = RightGrid;
    }
    const auto start = std::chrono::steady_clock::now();
    Packet reply;
    try {
      reply = client->Exchange(request);
    } catch (const std::exception&) {
      reply.reset();
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!reply) {
      ++figures.lost;
      if (figures.faults.size() < kMaxFaults)
        figures.faults.push_back("request " + std::to_string(i) + ": no reply");
      continue;
    }
    figures.latencies_ms.push_back(ms);
    if (!Answered(reply) || !right(reply)) {
      ++figures.wrong;
      if (figures.faults.size() < kMaxFaults)
        figures.faults.push_back("request " + std::to_string(i) + " (kind " +
                                 std::to_string(kind) + "): wrong reply, code " +
                                 std::to_string(reply->GetErrorCode()));
    }
    if (think_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(think_ms));
  }
  return figures;
}

}  // namespace grid_server_bench
