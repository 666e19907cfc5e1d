// The mixed requests of many workers against one grid server, each reply
// checked against the cells the layer is known to hold: pings, describes,
// block reads of 1 to 64 rows and columns (some reaching over the grid's
// edge) and whole-grid reads of a 500 x 400 float layer with no-data cells.
// Shared by the grid server benchmark and its test.
//
// Every request goes to 127.0.0.1 and is bounded in time: one attempt per
// request, a connect and a silence time-out, no retries.
// Thread safety: RunMixedClient may run on many threads at once, each with
// its own figures.
#ifndef MIRL_BENCH_GRID_SERVER_MIXED_WORKLOAD_H_
#define MIRL_BENCH_GRID_SERVER_MIXED_WORKLOAD_H_

#include <cstdint>
#include <string>
#include <vector>

namespace grid_server_bench {

constexpr const char* kMixedLayer = "mixed";
constexpr int kMixedRows = 500;
constexpr int kMixedCols = 400;
constexpr float kMixedMissing = -9999.0f;

// What the layer holds at (row, col), or kMixedMissing for no-data.
float MixedCell(int row, int col);

// Sets the window and writes the layer through the server at port; throws
// std::runtime_error when the server refuses.
void PrepareMixedLayer(unsigned short port);

struct ClientFigures {
  std::vector<double> latencies_ms;  // one per request answered
  int lost = 0;                      // no reply at all
  int wrong = 0;                     // a reply, but not the right one
  std::vector<std::string> faults;   // the first few, for the report
};

// requests mixed requests from one client, chosen by seed; think_ms is the
// pause after each reply (the TCP client's own pause is 7 ms).
ClientFigures RunMixedClient(unsigned short port, int requests, unsigned seed, int think_ms);

}  // namespace grid_server_bench

#endif  // MIRL_BENCH_GRID_SERVER_MIXED_WORKLOAD_H_
