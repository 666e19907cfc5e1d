// mirl_lib.so loaded as a host loads it, with the grid exports the
// benchmark calls; the library stays loaded for the life of the process.
#ifndef MIRL_BENCH_GRID_SERVER_MIRL_EXPORTS_H_
#define MIRL_BENCH_GRID_SERVER_MIRL_EXPORTS_H_

#include <string>

namespace grid_server_bench {

struct MirlExports {
  int (*gridinit)(int, const char*, int, int);
  int (*makewindow)(int*, int*, double*, double*, double*, int*);
  int (*setwindow)(const char*, int*, int*, double*, double*, double*, int*);
  int (*gridcreate)(const char*, int);
  int (*writegrid_dbl)(const char*, int, int, double, const double*);
  int (*readgrid_dbl)(const char*, double, double*);
  void (*clean_up)();
};

// The exports of build/lib/mirl_lib.so; throws std::runtime_error when the
// library or one of them is missing.
const MirlExports& LoadMirl(const std::string& build);

}  // namespace grid_server_bench

#endif  // MIRL_BENCH_GRID_SERVER_MIRL_EXPORTS_H_
