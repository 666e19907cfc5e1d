// Throughput of avgridio's row calls against GDAL's whole-band RasterIO on
// the same file, measured side by side in one run.
//
// Usage: gridio_bench <scratch directory> [size] [rounds]
// Writes a size x size float layer (default 4000) through PutWindowRow and
// through one GDAL RasterIO write, reads each back through GetWindowRowFloat
// and through one RasterIO read, and prints the best MB/s of each over the
// rounds (default 5) with the ratios. Then each side writes its layer again
// over the one it made: the library's replacement is forced to the disk
// before it takes the old one's place (GDAL's rewrite is not), and the line
// says what that costs.
#include <cpl_conv.h>
#include <gdal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "avgridio.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

[[noreturn]] void Die(const char* what) {
  std::fprintf(stderr, "gridio_bench: %s\n", what);
  std::exit(1);
}

struct Setup {
  std::string dir;
  int size;
  double box[4];
  std::vector<float> cells;
};

double LibraryWrite(const Setup& s, const std::string& layer) {
  const Clock::time_point start = Clock::now();
  const int h = CellLayerCreate(layer.c_str(), GIO_READWRITE, 1, GIO_CELLFLOAT, 1.0, s.box);
  if (h < 0) Die("CellLayerCreate");
  for (int r = 0; r < s.size; ++r)
    if (PutWindowRow(h, r, s.cells.data() + static_cast<size_t>(r) * s.size) != GIO_OK)
      Die("PutWindowRow");
  if (CellLyrClose(h) != GIO_OK) Die("CellLyrClose");
  return Seconds(start);
}

double LibraryRead(const Setup& s, const std::string& layer, std::vector<float>& out) {
  const Clock::time_point start = Clock::now();
  int32_t type;
  double cell_size;
  const int h = CellLayerOpen(layer.c_str(), GIO_READ, 1, &type, &cell_size);
  if (h < 0) Die("CellLayerOpen");
  for (int r = 0; r < s.size; ++r)
    if (GetWindowRowFloat(h, r, out.data() + static_cast<size_t>(r) * s.size) != GIO_OK)
      Die("GetWindowRowFloat");
  CellLyrClose(h);
  return Seconds(start);
}

double GdalWrite(const Setup& s, const std::string& file) {
  const Clock::time_point start = Clock::now();
  GDALDatasetH ds = GDALCreate(GDALGetDriverByName("GTiff"), file.c_str(), s.size, s.size, 1,
                               GDT_Float32, nullptr);
  if (ds == nullptr) Die("GDALCreate");
  double gt[6] = {0, 1, 0, static_cast<double>(s.size), 0, -1};
  GDALSetGeoTransform(ds, gt);
  GDALRasterBandH band = GDALGetRasterBand(ds, 1);
  GDALSetRasterNoDataValue(band, GIO_MISSING_FLOAT);
  if (GDALRasterIO(band, GF_Write, 0, 0, s.size, s.size, const_cast<float*>(s.cells.data()), s.size,
                   s.size, GDT_Float32, 0, 0) != CE_None)
    Die("RasterIO write");
  GDALClose(ds);
  return Seconds(start);
}

double GdalRead(const Setup& s, const std::string& file, std::vector<float>& out) {
  const Clock::time_point start = Clock::now();
  GDALDatasetH ds = GDALOpen(file.c_str(), GA_ReadOnly);
  if (ds == nullptr) Die("GDALOpen");
  if (GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Read, 0, 0, s.size, s.size, out.data(), s.size,
                   s.size, GDT_Float32, 0, 0) != CE_None)
    Die("RasterIO read");
  GDALClose(ds);
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) Die("usage: gridio_bench <scratch directory> [size] [rounds]");
  Setup s;
  s.dir = argv[1];
  s.size = argc > 2 ? std::atoi(argv[2]) : 4000;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
  if (s.size <= 0 || rounds <= 0) Die("bad size or rounds");
  s.box[0] = 0;
  s.box[1] = 0;
  s.box[2] = s.size;
  s.box[3] = s.size;
  s.cells.resize(static_cast<size_t>(s.size) * s.size);
  for (size_t i = 0; i < s.cells.size(); ++i) s.cells[i] = static_cast<float>(i % 65521) * 0.5f;

  if (GridIOSetup() != 1) Die("GridIOSetup");
  // GDAL's side writes no .aux.xml either, so both do the same work.
  CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
  double set[4];
  if (AccessWindowSet(s.box, 1.0, set) != GIO_OK) Die("AccessWindowSet");

  const std::string layer = s.dir + "/bench_layer";
  const std::string peer = s.dir + "/bench_peer.tif";
  std::vector<float> out(s.cells.size());
  double best_lw = 1e9, best_gw = 1e9, best_lr = 1e9, best_gr = 1e9;
  double best_lrw = 1e9, best_grw = 1e9;
  for (int round = 0; round < rounds; ++round) {
    // Both sides first write a new file: a file written over another would
    // also time the file system's clean-up of the old one.
    CellLyrDelete(layer.c_str());
    std::remove(peer.c_str());
    best_gw = std::min(best_gw, GdalWrite(s, peer));
    best_lw = std::min(best_lw, LibraryWrite(s, layer));
    best_gr = std::min(best_gr, GdalRead(s, peer, out));
    best_lr = std::min(best_lr, LibraryRead(s, layer, out));
    if (!std::equal(out.begin(), out.end(), s.cells.begin())) Die("library read back other cells");
    // Written again over themselves, as the grid server writes a grid again.
    best_grw = std::min(best_grw, GdalWrite(s, peer));
    best_lrw = std::min(best_lrw, LibraryWrite(s, layer));
  }
  CellLyrDelete(layer.c_str());
  std::remove(peer.c_str());
  GridIOExit();

  const double mb = static_cast<double>(s.cells.size()) * sizeof(float) / 1e6;
  std::printf("layer: %d x %d float cells (%.1f MB), best of %d rounds\n", s.size, s.size, mb,
              rounds);
  std::printf("read   GetWindowRowFloat %8.1f MB/s   GDAL RasterIO band %8.1f MB/s   ratio %.2f\n",
              mb / best_lr, mb / best_gr, best_gr / best_lr);
  std::printf("write  PutWindowRow      %8.1f MB/s   GDAL RasterIO band %8.1f MB/s   ratio %.2f\n",
              mb / best_lw, mb / best_gw, best_gw / best_lw);
  std::printf("goal: ratio >= 0.70 for both (library throughput / GDAL throughput)\n");
  std::printf("write again over itself: PutWindowRow %8.1f MB/s (forced to the disk before it"
              " replaces the old layer)   GDAL RasterIO band %8.1f MB/s (not forced)   ratio %.2f\n",
              mb / best_lrw, mb / best_grw, best_grw / best_lrw);
  return 0;
}
