// The in-process grid server against the grid I/O library's own row calls,
// on copies of one float layer, all in one process so the figures are side
// by side. One access window is set, as a session does; each repetition
// takes a copy of the layer that is not cached yet:
//   peer     a buffer for the layer, then every window row read into it
//            through the library alone
//   first    a GridLoad request of the copy (it evicts a filler grid)
//   cached   the same GridLoad again, served from the cache
//   block    100 x 100 BlockLoad requests from the cached Solid grid
// Every step is timed twice: wall clock, and the CPU time of the process
// (user and system, page faults included), which other jobs on a shared
// machine do not inflate.
// Usage: server_bench <library dir> <work dir> <size> <repetitions>
// Prints two lines, "wall" and "cpu": size, the medians of peer, first and
// cached in seconds and of block in microseconds; then a third line with
// the memory mode and the layer's bytes on disk.
#include <algorithm>
#include <boost/filesystem.hpp>
#include <boost/make_shared.hpp>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "protocol/packets.h"
#include "server/gio.h"
#include "server/gio_holder.h"
#include "server/gio_state.h"
#include "server/gsvr_io.h"
#include "server/layer_cache.h"

namespace {

using Clock = std::chrono::steady_clock;
using grd_svr::CGIO;

// Wall and CPU seconds of one step.
struct Lap {
  double wall;
  double cpu;
};

class Stopwatch {
 public:
  Stopwatch() : wall_(Clock::now()), cpu_(std::clock()) {}
  Lap Stop() const {
    return Lap{std::chrono::duration<double>(Clock::now() - wall_).count(),
               static_cast<double>(std::clock() - cpu_) / CLOCKS_PER_SEC};
  }

 private:
  Clock::time_point wall_;
  std::clock_t cpu_;
};

struct Series {
  std::vector<double> wall;
  std::vector<double> cpu;
  void Add(const Lap& lap) {
    wall.push_back(lap.wall);
    cpu.push_back(lap.cpu);
  }
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Fail(const char* what, int code) {
  std::fprintf(stderr, "server_bench: %s failed (%d)\n", what, code);
  std::exit(1);
}

int MakeWindow(grd_svr::CGSvrIO& io, int size) {
  auto make = boost::make_shared<grd_svr::CGSvrPk_AccWndMake>(grd_svr::atRequest);
  make->m_RowCount = size;
  make->m_ColCount = size;
  make->m_XLowerLeft = 0.0;
  make->m_YLowerLeft = 0.0;
  make->m_CellSize = 1.0;
  std::string text;
  return io.HandleRequest(make, text)->GetErrorCode();
}

void WriteLayer(const std::string& path, int size) {
  const grd_svr::AccessWindow& window = grd_svr::GioState().window;
  const int handle = CGIO::CellLayerCreate(path, 2, 1, 2, window.m_CellSize, window.m_Box);
  if (handle < 0) Fail("CellLayerCreate", handle);
  std::mt19937 random(7);
  std::uniform_real_distribution<float> value(0.0f, 1000.0f);
  std::vector<float> row(static_cast<std::size_t>(size));
  for (int r = 0; r < size; ++r) {
    for (float& cell : row) cell = value(random);
    if (CGIO::PutWindowRow(handle, r, row.data()) < 0) Fail("PutWindowRow", r);
  }
  if (CGIO::CellLyrClose(handle) < 0) Fail("CellLyrClose", 0);
}

// The library alone: a caller's buffer for the layer, then every row.
Lap PeerRead(const std::string& path, int size) {
  const Stopwatch watch;
  std::vector<float> cells(static_cast<std::size_t>(size) * size);
  std::int32_t type = 0;
  double cell_size = 0.0;
  const int handle = CGIO::CellLayerOpen(path, 1, 1, &type, &cell_size);
  if (handle < 0) Fail("CellLayerOpen", handle);
  for (int r = 0; r < size; ++r)
    if (CGIO::GetWindowRowFloat(handle, r, &cells[static_cast<std::size_t>(r) * size]) < 0)
      Fail("GetWindowRowFloat", r);
  CGIO::CellLyrClose(handle);
  const Lap lap = watch.Stop();
  if (cells[cells.size() / 2] < 0.0f) Fail("values", 0);
  return lap;
}

Lap GridLoad(grd_svr::CGSvrIO& io, const std::string& name, std::size_t expected_cells) {
  auto load = boost::make_shared<grd_svr::CGSvrPk_GridOp>(grd_svr::atRequest, grd_svr::GridLoad);
  load->m_GridName = name;
  load->m_MissingFLT = -9999.0f;
  std::string text;
  const Stopwatch watch;
  const int code = io.HandleRequest(load, text)->GetErrorCode();
  const Lap lap = watch.Stop();
  if (code != grd_svr::ErrNone) Fail("GridLoad", code);
  if (load->m_GrdDataFLT.size() != expected_cells) Fail("GridLoad size", 0);
  return lap;
}

Lap BlockLoad(grd_svr::CGSvrIO& io, const std::string& name, int row, int col) {
  auto block = boost::make_shared<grd_svr::CGSvrPk_BlockOp>(grd_svr::atRequest, grd_svr::BlockLoad);
  block->m_GridName = name;
  block->m_BlkStartRow = row;
  block->m_BlkStartCol = col;
  block->m_RowCount = 100;
  block->m_ColCount = 100;
  block->m_CellType = 2;
  block->m_MissingFLT = -9999.0f;
  std::string text;
  const Stopwatch watch;
  const int code = io.HandleRequest(block, text)->GetErrorCode();
  const Lap lap = watch.Stop();
  if (code != grd_svr::ErrNone || block->m_BlkDataFLT.size() != 10000u) Fail("BlockLoad", code);
  return lap;
}

std::uintmax_t LayerBytes(const std::string& path) {
  std::uintmax_t bytes = 0;
  for (boost::filesystem::recursive_directory_iterator it(path), end; it != end; ++it)
    if (boost::filesystem::is_regular_file(it->path()))
      bytes += boost::filesystem::file_size(it->path());
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: server_bench <library dir> <work dir> <size> <repetitions>\n");
    return 2;
  }
  const boost::filesystem::path work = argv[2];
  const int size = std::atoi(argv[3]);
  const int reps = std::max(1, std::atoi(argv[4]));
  grd_svr::CGIO_Holder holder(argv[1]);
  if (!holder.IsReady()) Fail("loading the grid library", 0);
  grd_svr::CGSvrIO io(work.string(), 2, nullptr);
  const int code = MakeWindow(io, size);
  if (code != grd_svr::ErrNone) Fail("AccWndMake", code);
  const std::string original = (work / "bench").string();
  WriteLayer(original, size);
  std::vector<std::string> copies;
  for (int rep = 0; rep < reps; ++rep) {
    copies.push_back("bench_" + std::to_string(rep));
    const int copied = CGIO::GridCopy(original, (work / copies.back()).string());
    if (copied < 0) Fail("GridCopy", copied);
  }

  const std::size_t cells = static_cast<std::size_t>(size) * size;
  Series peer, first, cached, block;
  std::mt19937 random(11);
  std::uniform_int_distribution<int> corner(-50, size - 50);
  for (const std::string& name : copies) {
    peer.Add(PeerRead((work / name).string(), size));
    first.Add(GridLoad(io, name, cells));
    cached.Add(GridLoad(io, name, cells));
    for (int b = 0; b < 200; ++b) block.Add(BlockLoad(io, name, corner(random), corner(random)));
  }
  std::printf("wall %d %.6f %.6f %.6f %.3f\n", size, Median(peer.wall), Median(first.wall),
              Median(cached.wall), Median(block.wall) * 1e6);
  std::printf("cpu %d %.6f %.6f %.6f %.3f\n", size, Median(peer.cpu), Median(first.cpu),
              Median(cached.cpu), Median(block.cpu) * 1e6);
  const bool hollow = grd_svr::CacheState().memory_mode == grd_svr::kMemoryModeHollow;
  std::printf("%s %ju\n", hollow ? "hollow" : "solid", LayerBytes(original));
  return 0;
}
