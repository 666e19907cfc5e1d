// The grid server under many workers, and the first read of a fresh
// session, against a grid_server program started on loopback.
// Usage: grid_server_bench <build dir> first <scratch dir> <size> <reps>
//        grid_server_bench <build dir> load <scratch dir> <requests> <think ms> <clients...>
//        grid_server_bench <build dir> frames <dir>
// (and, internally, <build dir> first-child <io mode> <source> <size>)
// "frames" writes framed requests for clients written in other languages,
// such as limits.py: ping, retire, a describe of "dem", a 1000 x 1000
// window, a whole-grid write of "dem" over it, and a read of all of "dem"
// as one block (a 4 MB reply).
#include <boost/make_shared.hpp>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "first_read.h"
#include "load_run.h"
#include "protocol/framing.h"
#include "protocol/packets.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: grid_server_bench <build dir> first <scratch dir> <size> <reps>\n"
               "       grid_server_bench <build dir> load <scratch dir> <requests> <think ms> "
               "<clients...>\n"
               "       grid_server_bench <build dir> frames <dir>\n");
  return 2;
}

int WriteFrames(const std::string& dir) {
  using namespace grd_svr;
  constexpr int kSide = 1000;
  auto describe = boost::make_shared<CGSvrPk_GridDescribe>(atRequest);
  describe->m_GridName = "dem";
  auto window = boost::make_shared<CGSvrPk_AccWndMake>(atRequest);
  window->m_RowCount = window->m_ColCount = kSide;
  window->m_XLowerLeft = window->m_YLowerLeft = 0.0;
  window->m_CellSize = 1.0;
  auto write = boost::make_shared<CGSvrPk_GridOp>(atRequest, GridWrite);
  write->m_GridName = "dem";
  write->m_RowCount = write->m_ColCount = kSide;
  write->m_CellType = 2;
  write->m_MissingINT = -9999;
  write->m_MissingFLT = -9999.0f;
  write->m_GrdDataFLT.assign(static_cast<std::size_t>(kSide) * kSide, 1.5f);
  auto block = boost::make_shared<CGSvrPk_BlockOp>(atRequest, BlockLoad);
  block->m_GridName = "dem";
  block->m_CellType = 2;
  block->m_RowCount = block->m_ColCount = kSide;
  block->m_BlkStartRow = block->m_BlkStartCol = 0;
  block->m_MissingINT = -9999;
  block->m_MissingFLT = -9999.0f;
  const std::pair<const char*, boost::shared_ptr<CGSvrPacket>> frames[] = {
      {"ping.frame", boost::make_shared<CGSvrPk_PingServer>(atRequest)},
      {"retire.frame", boost::make_shared<CGSvrPk_GridServerRetire>(atRequest)},
      {"describe.frame", describe},
      {"window.frame", window},
      {"write.frame", write},
      {"block.frame", block},
  };
  for (const auto& frame : frames) {
    std::ofstream out(dir + "/" + frame.first, std::ios::binary | std::ios::trunc);
    out << EncodeFrame(frame.second);
    if (!out.flush()) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string build = argv[1];
  const std::string mode = argv[2];
  try {
    if (mode == "first-child" && argc == 6)
      return grid_server_bench::FirstReadChild(build, std::atoi(argv[3]), argv[4],
                                               std::atoi(argv[5]));
    if (mode == "first" && argc == 6)
      return grid_server_bench::RunFirstReads(argv[0], build, argv[3], std::atoi(argv[4]),
                                              std::atoi(argv[5]));
    if (mode == "frames" && argc == 4) return WriteFrames(argv[3]);
    if (mode == "load" && argc >= 6) {
      grid_server_bench::LoadPlan plan;
      plan.requests = std::atoi(argv[4]);
      plan.think_ms = std::atoi(argv[5]);
      for (int i = 6; i < argc; ++i) plan.clients.push_back(std::atoi(argv[i]));
      if (plan.requests > 0 && !plan.clients.empty())
        return grid_server_bench::RunLoad(build, argv[3], plan);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "grid_server_bench: %s\n", error.what());
    return 1;
  }
  return Usage();
}
