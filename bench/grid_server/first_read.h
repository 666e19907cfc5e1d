// The first whole-grid read of a fresh session: readgrid_dbl of an
// uncompressed size x size float layer right after setwindow, in a process
// that has read nothing before, in io mode 2 (the library serves the layer)
// and in io mode 1 (a grid_server just started serves it over loopback).
// Each run is a fresh child process of this program, and in io mode 1 a
// fresh server, so that nothing is warm but the file system's cache.
#ifndef MIRL_BENCH_GRID_SERVER_FIRST_READ_H_
#define MIRL_BENCH_GRID_SERVER_FIRST_READ_H_

#include <string>

namespace grid_server_bench {

// Writes the layer, runs reps rounds of both roads alternating, and prints
// the medians, the best runs and the goal io1 <= 1.5 x io2 + 20 ms.
int RunFirstReads(const std::string& self, const std::string& build, const std::string& scratch,
                  int size, int reps);

// The child's side: one session (io_mode 1: source is the port; 2: the
// workspace), setwindow, and one timed readgrid_dbl; prints its seconds.
int FirstReadChild(const std::string& build, int io_mode, const std::string& source, int size);

}  // namespace grid_server_bench

#endif  // MIRL_BENCH_GRID_SERVER_FIRST_READ_H_
