#include "first_read.h"

#include <algorithm>
#include <boost/filesystem.hpp>
#include <boost/process.hpp>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "mirl_exports.h"
#include "server_process.h"

namespace grid_server_bench {
namespace {

namespace bp = boost::process;
constexpr const char* kLayer = "raw";

// Cell values with no-data among them, so that the marker replacement runs.
std::vector<double> LayerCells(int size) {
  std::vector<double> cells(static_cast<std::size_t>(size) * size);
  for (std::size_t i = 0; i < cells.size(); ++i)
    cells[i] = i % 53 == 0 ? -9999.0 : static_cast<double>((i * 7919) % 100000) / 8.0;
  return cells;
}

void Check(int code, const char* what) {
  if (code != 1) throw std::runtime_error(std::string(what) + " failed with " + std::to_string(code));
}

// The layer written once through a grid_server, as a worker would.
void WriteLayer(const std::string& build, const std::string& root, int size) {
  const MirlExports& m = LoadMirl(build);
  ServerProcess server(build, root);
  Check(m.gridinit(1, "127.0.0.1", server.port(), 0), "gridinit");
  int rows = size, cols = size, block_only = 0;
  double y_ll = 0, x_ll = 0, cell = 10;
  Check(m.makewindow(&rows, &cols, &y_ll, &x_ll, &cell, &block_only), "makewindow");
  Check(m.gridcreate(kLayer, 2), "gridcreate");
  const std::vector<double> cells = LayerCells(size);
  Check(m.writegrid_dbl(kLayer, size, size, -9999.0, cells.data()), "writegrid_dbl");
  m.clean_up();
}

double ChildSeconds(const std::string& self, const std::string& build, int io_mode, const std::string& source, int size) {
  bp::ipstream out;
  bp::child child(self, build, "first-child", std::to_string(io_mode), source, std::to_string(size),
                  bp::std_out > out);
  double seconds = -1;
  std::string line;
  while (std::getline(out, line)) std::sscanf(line.c_str(), "%lf", &seconds);
  child.wait();
  if (child.exit_code() != 0 || seconds < 0) throw std::runtime_error("first-read child failed");
  return seconds;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int FirstReadChild(const std::string& build, int io_mode, const std::string& source, int size) {
  const MirlExports& m = LoadMirl(build);
  const std::size_t cells = static_cast<std::size_t>(size) * size;
  // The caller's array exists before the call, as R's double() has made it.
  std::vector<double> grid(cells, 0.0);
  if (io_mode == 1)
    Check(m.gridinit(1, "127.0.0.1", std::stoi(source), 0), "gridinit");
  else
    Check(m.gridinit(2, source.c_str(), 0, 0), "gridinit");
  int rows = 0, cols = 0, block_only = 0;
  double y_ll = 0, x_ll = 0, cell = 0;
  Check(m.setwindow(kLayer, &rows, &cols, &y_ll, &x_ll, &cell, &block_only), "setwindow");
  const auto start = std::chrono::steady_clock::now();
  Check(m.readgrid_dbl(kLayer, -9999.0, grid.data()), "readgrid_dbl");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (grid != LayerCells(size)) throw std::runtime_error("readgrid_dbl read other cells");
  m.clean_up();
  std::printf("%.6f\n", seconds);
  return 0;
}

int RunFirstReads(const std::string& self, const std::string& build, const std::string& scratch,
                  int size, int reps) {
  const std::string root = scratch + "/ws";
  boost::filesystem::create_directories(root);
  WriteLayer(build, root, size);
  std::vector<double> io1, io2;
  for (int i = 0; i < reps; ++i) {
    io2.push_back(ChildSeconds(self, build, 2, root, size));
    ServerProcess server(build, root);
    io1.push_back(ChildSeconds(self, build, 1, std::to_string(server.port()), size));
  }
  const double m1 = Median(io1), m2 = Median(io2);
  const double b1 = *std::min_element(io1.begin(), io1.end());
  const double b2 = *std::min_element(io2.begin(), io2.end());
  std::printf("first readgrid_dbl of a fresh session, %d x %d uncompressed float layer, %d runs\n",
              size, size, reps);
  std::printf("  io mode 2 (in-process): median %.4f s, best %.4f s\n", m2, b2);
  std::printf("  io mode 1 (grid_server): median %.4f s, best %.4f s\n", m1, b1);
  std::printf("  io1 / io2: median %.2fx, best %.2fx; io1 - io2: median %+.1f ms\n", m1 / m2,
              b1 / b2, (m1 - m2) * 1000);
  std::printf("  goal io1 <= 1.5 x io2 + 20 ms = %.4f s: %s (medians)\n", 1.5 * m2 + 0.020,
              m1 <= 1.5 * m2 + 0.020 ? "met" : "MISSED");
  return 0;
}

}  // namespace grid_server_bench
