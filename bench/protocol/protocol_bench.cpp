// Encoding and decoding of a whole-grid packet against memcpy of the same
// cell bytes, measured side by side in one process.
//
// Two regimes, set with glibc's mallopt for this program only. Cold: every
// large block is a fresh mapping, so the kernel's first-touch page faults
// are paid on every byte (memcpy into fresh memory is measured too, for the
// same bytes). Warm: freed blocks stay mapped and are handed out again (the
// steady state of a process that exchanges grids of one size), so the
// figure is the codec's own cost.
//
// Times are the best of the repeats (the machine is shared; the best run is
// the one least disturbed), for memcpy and the codec alike.
//
// Usage: protocol_bench [cells] [repeats]
// Prints one line: cells payload_bytes frame_bytes max_frame_bytes
//   memcpy_warm_ms encode_warm_ms decode_warm_ms memcpy_cold_ms roundtrip_cold_ms
#include <malloc.h>

#include <algorithm>
#include <boost/make_shared.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "protocol/framing.h"
#include "protocol/grid_packets.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double BestMs(int repeats, F&& f) {
  std::vector<double> ms;
  for (int i = 0; i < repeats; ++i) {
    const auto t0 = Clock::now();
    f();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms.front();
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t cells = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 4000000;
  const int repeats = argc > 2 ? std::atoi(argv[2]) : 9;

  auto op = boost::make_shared<grd_svr::CGSvrPk_GridOp>(grd_svr::atResponse, grd_svr::GridLoad);
  op->m_GridName = "bench_grid";
  op->m_CellType = 2;
  op->m_RowCount = 2000;
  op->m_ColCount = static_cast<int>(cells / 2000);
  op->m_GrdDataFLT.resize(cells);
  for (std::size_t i = 0; i < cells; ++i) op->m_GrdDataFLT[i] = static_cast<float>(i % 977) * 0.5f;
  const boost::shared_ptr<grd_svr::CGSvrPacket> packet = op;
  const std::size_t bytes = cells * sizeof(float);
  const float* cells_data = op->m_GrdDataFLT.data();

  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  const double memcpy_cold = BestMs(repeats, [&] {
    std::unique_ptr<char[]> fresh(new char[bytes]);
    std::memcpy(fresh.get(), cells_data, bytes);
    if (fresh[bytes - 1] == 1) std::abort();  // keeps the copy
  });
  const double roundtrip_cold = BestMs(repeats, [&] {
    const std::string p = grd_svr::EncodePacket(packet);
    boost::shared_ptr<grd_svr::CGSvrPacket> b;
    if (grd_svr::DecodePacket(p.data(), p.size(), b)) std::abort();
  });

  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  std::vector<float> copy(cells, 0.0f);
  const double memcpy_warm = BestMs(repeats, [&] { std::memcpy(copy.data(), cells_data, bytes); });
  std::string payload = grd_svr::EncodePacket(packet);
  const double encode_warm = BestMs(repeats, [&] { payload = grd_svr::EncodePacket(packet); });
  boost::shared_ptr<grd_svr::CGSvrPacket> back;
  const double decode_warm = BestMs(repeats, [&] {
    back.reset();
    if (grd_svr::DecodePacket(payload.data(), payload.size(), back)) std::abort();
  });

  const auto& decoded = dynamic_cast<const grd_svr::CGSvrPk_GridOp&>(*back);
  if (decoded.m_GrdDataFLT != op->m_GrdDataFLT) {
    std::fprintf(stderr, "decoded cells differ\n");
    return 1;
  }
  std::string header;
  if (grd_svr::FormatFrameHeader(payload.size(), header)) return 1;

  std::printf("%zu %zu %zu %zu %.3f %.3f %.3f %.3f %.3f\n", cells, payload.size(),
              payload.size() + header.size(), grd_svr::kMaxFrameLength, memcpy_warm, encode_warm,
              decode_warm, memcpy_cold, roundtrip_cold);
  return 0;
}
