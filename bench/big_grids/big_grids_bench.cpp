// Big float layers in io mode 2, through mirl_lib's exports as a host calls
// them, side by side with GDAL doing the same work on the same files.
//
// Usage: big_grids_bench <scratch directory> <size>...
// For each size n: GDAL writes an n x n tiled float GeoTIFF layer; a child
// process runs one grid session on it (setwindow, writeblock_dbl of 1000 x
// 1000 and 10 x 10 cells, gridcreate and a first 1000 x 1000 block into
// the new grid) and reports its times, the bytes it wrote (wchar of
// /proc/self/io), the time its fsync calls took (and of those, the ones
// that force a directory: the durable end of a commit) and its peak resident
// memory; then GDAL computes exact statistics and
// reads and rewrites in place the same 1000 full rows. Each step runs three
// times; the figures are the range, and ratios take the best of each side.
// The big files are removed at the end.
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cpl_conv.h>
#include <gdal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "exports/grid_api.h"
#include "exports/mirl_lib.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double fsync_seconds = 0;
long fsync_calls = 0;
// The part of fsync_seconds spent forcing directories: the durable end of
// a commit (a journal's removal, a rename).
double dir_fsync_seconds = 0;

}  // namespace

// Every fsync of the process, the grid I/O library's included, comes here.
extern "C" __attribute__((visibility("default"))) int fsync(int fd) {
  using Fn = int (*)(int);
  static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "fsync"));
  struct stat st;
  const bool directory = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  const Clock::time_point start = Clock::now();
  const int result = real(fd);
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  fsync_seconds += took;
  if (directory) dir_fsync_seconds += took;
  ++fsync_calls;
  return result;
}

namespace {

const char* self_ = nullptr;

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "big_grids_bench: %s\n", what.c_str());
  std::exit(1);
}

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Bytes this process handed to write and read calls. (The kernel's
// write_bytes misses pages dirtied again before they were written back.)
struct Io {
  long long wchar = 0, rchar = 0;
};

Io ReadIo() {
  std::ifstream io("/proc/self/io");
  Io out;
  std::string key;
  long long value;
  while (io >> key >> value) {
    if (key == "wchar:") out.wchar = value;
    if (key == "rchar:") out.rchar = value;
  }
  return out;
}

long PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    long kb;
    if (key == "VmHWM:" && status >> kb) return kb;
  }
  return -1;
}

// One timed step: wall seconds, MB written, fsync seconds (all, and of
// directories) and calls.
struct Step {
  double seconds = 0, written_mb = 0, fsync = 0, dir_fsync = 0;
  long fsyncs = 0;
};

template <typename Work>
Step Time(Work work) {
  const Io io = ReadIo();
  const double sync0 = fsync_seconds, dir_sync0 = dir_fsync_seconds;
  const long calls0 = fsync_calls;
  const Clock::time_point start = Clock::now();
  work();
  Step step;
  step.seconds = Since(start);
  step.written_mb = (ReadIo().wchar - io.wchar) / 1e6;
  step.fsync = fsync_seconds - sync0;
  step.dir_fsync = dir_fsync_seconds - dir_sync0;
  step.fsyncs = fsync_calls - calls0;
  return step;
}

// The n x n layer GDAL writes: tiled 256 x 256, uncompressed, as the issue
// measured; no nodata cells.
void MakeLayer(const std::string& file, int n) {
  fs::create_directories(fs::path(file).parent_path());
  char* options[] = {const_cast<char*>("TILED=YES"), const_cast<char*>("BIGTIFF=IF_SAFER"),
                     nullptr};
  GDALDatasetH ds = GDALCreate(GDALGetDriverByName("GTiff"), file.c_str(), n, n, 1, GDT_Float32,
                               options);
  if (ds == nullptr) Die("cannot create " + file);
  double gt[6] = {0, 10, 0, 10.0 * n, 0, -10};
  GDALSetGeoTransform(ds, gt);
  GDALSetRasterNoDataValue(GDALGetRasterBand(ds, 1), -3.4028234663852886e+38);
  std::vector<float> rows(static_cast<size_t>(n) * 256);
  for (int r0 = 0; r0 < n; r0 += 256) {
    const int count = std::min(256, n - r0);
    for (int r = 0; r < count; ++r)
      for (int c = 0; c < n; ++c)
        rows[static_cast<size_t>(r) * n + c] = static_cast<float>(((r0 + r) * 7 + c) % 1000) * 0.5f;
    if (GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Write, 0, r0, n, count, rows.data(), n, count,
                     GDT_Float32, 0, 0) != CE_None)
      Die("GDAL write failed");
  }
  GDALClose(ds);
  // GDAL leaves the layer's pages dirty; the session's first fsync would
  // otherwise write them out and be charged for GDAL's work.
  sync();
}

// The library's session, in this (child) process; its report goes to out.
void Session(const std::string& ws, int n, FILE* out) {
  if (gridinit(2, ws.c_str(), 0, 0) != 1) Die("gridinit");
  int rows, cols, block_only;
  double yll, xll, size;
  auto setwindow_big = [&] {
    if (setwindow("big", &rows, &cols, &yll, &xll, &size, &block_only) != 1) Die("setwindow");
  };
  std::vector<double> block(1000 * 1000), small(100);
  auto report = [&](const char* what, const Step& s) {
    std::fprintf(out, "%s %.6f %.3f %.6f %.6f %ld\n", what, s.seconds, s.written_mb, s.fsync,
                 s.dir_fsync, s.fsyncs);
  };
  const std::string stats = ws + "/big/.layer.tif.gridio-stats";
  for (int i = 0; i < 3; ++i) {
    std::remove(stats.c_str());
    report("setwindow_first", Time(setwindow_big));
  }
  for (int i = 0; i < 3; ++i) report("setwindow_unchanged", Time(setwindow_big));
  for (int i = 0; i < 3; ++i) {
    std::fill(block.begin(), block.end(), 11.0 + i);
    const int at = 1 + (n / 4) * i;
    report("writeblock_1000", Time([&] {
             if (writeblock_dbl("big", at, at, 1000, 1000, -9999, block.data(), 0) != 1)
               Die("writeblock_dbl 1000");
           }));
  }
  for (int i = 0; i < 3; ++i) {
    std::fill(small.begin(), small.end(), 21.0 + i);
    const int at = 1 + (n / 3) * i + 17;
    report("writeblock_10", Time([&] {
             if (writeblock_dbl("big", at, at, 10, 10, -9999, small.data(), 0) != 1)
               Die("writeblock_dbl 10");
           }));
  }
  report("setwindow_after_writes", Time(setwindow_big));
  for (int i = 0; i < 3; ++i) {
    const std::string name = "new" + std::to_string(i);
    std::fill(block.begin(), block.end(), 31.0 + i);
    report("gridcreate_block", Time([&] {
             if (gridcreate(name.c_str(), 2) != 1) Die("gridcreate");
             if (writeblock_dbl(name.c_str(), 1, 1, 1000, 1000, -9999, block.data(), 0) != 1)
               Die("writeblock_dbl into a new grid");
           }));
    struct stat st;
    stat((ws + "/" + name + "/layer.tif").c_str(), &st);
    std::fprintf(out, "new_grid_disk_mb %.3f\n", st.st_blocks * 512 / 1e6);
  }
  clean_up();
  std::fprintf(out, "peak_rss_mb %.1f\n", PeakResidentKb() / 1024.0);
}

struct Range {
  double lo = 1e300, hi = -1e300;
  void Add(double v) {
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
};

struct Figures {
  Range seconds, written, fsync, dir_fsync;
};

void Read(FILE* in, std::map<std::string, Figures>* figures, double* disk_mb, double* rss_mb) {
  char key[64];
  while (std::fscanf(in, "%63s", key) == 1) {
    const std::string k(key);
    if (k == "peak_rss_mb") {
      if (std::fscanf(in, "%lf", rss_mb) != 1) break;
    } else if (k == "new_grid_disk_mb") {
      double mb;
      if (std::fscanf(in, "%lf", &mb) != 1) break;
      *disk_mb = std::max(*disk_mb, mb);
    } else {
      double s, w, f, d;
      long calls;
      if (std::fscanf(in, "%lf %lf %lf %lf %ld", &s, &w, &f, &d, &calls) != 5) break;
      Figures& fig = (*figures)[k];
      fig.seconds.Add(s);
      fig.written.Add(w);
      fig.fsync.Add(f);
      fig.dir_fsync.Add(d);
    }
  }
}

void RunSize(const std::string& scratch, int n) {
  const std::string ws = scratch + "/ws" + std::to_string(n);
  const std::string file = ws + "/big/layer.tif";
  const Clock::time_point made = Clock::now();
  MakeLayer(file, n);
  const double row_mb = 4.0 * n * 1000 / 1e6;
  std::printf("== %d x %d float cells (%.0f MB), tiled 256 x 256, written by GDAL in %.1f s\n", n,
              n, 4.0 * n * n / 1e6, Since(made));
  std::fflush(stdout);

  // GDAL first: exact statistics, and the read and in-place rewrite of the
  // 1000 full rows that a 1000 x 1000 block covers.
  Figures stats, rewrite;
  for (int i = 0; i < 3; ++i) {
    GDALDatasetH ds = GDALOpen(file.c_str(), GA_ReadOnly);
    double mn, mx, mean, sd;
    const Step s = Time([&] {
      GDALComputeRasterStatistics(GDALGetRasterBand(ds, 1), FALSE, &mn, &mx, &mean, &sd, nullptr,
                                  nullptr);
    });
    GDALClose(ds);
    stats.seconds.Add(s.seconds);
  }
  std::vector<float> rows(static_cast<size_t>(n) * 1000);
  for (int i = 0; i < 3; ++i) {
    const int at = (n / 4) * i;
    const Step s = Time([&] {
      GDALDatasetH ds = GDALOpen(file.c_str(), GA_Update);
      GDALRasterBandH band = GDALGetRasterBand(ds, 1);
      if (GDALRasterIO(band, GF_Read, 0, at, n, 1000, rows.data(), n, 1000, GDT_Float32, 0, 0) !=
          CE_None)
        Die("GDAL read");
      for (int r = 0; r < 1000; ++r)
        std::fill(rows.begin() + static_cast<size_t>(r) * n + at,
                  rows.begin() + static_cast<size_t>(r) * n + at + 1000, 41.0f + i);
      if (GDALRasterIO(band, GF_Write, 0, at, n, 1000, rows.data(), n, 1000, GDT_Float32, 0, 0) !=
          CE_None)
        Die("GDAL write");
      GDALClose(ds);
    });
    rewrite.seconds.Add(s.seconds);
    rewrite.written.Add(s.written_mb);
  }
  std::vector<float>().swap(rows);

  // The session runs in a fresh process of its own (this program again),
  // so that its peak memory is its own and not this process's GDAL cache.
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) Die("pipe");
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_fds[0]);
    dup2(pipe_fds[1], STDOUT_FILENO);
    const std::string size = std::to_string(n);
    execl(self_, self_, "--session", ws.c_str(), size.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipe_fds[1]);
  FILE* in = fdopen(pipe_fds[0], "r");
  std::map<std::string, Figures> ours;
  double disk_mb = 0, rss_mb = 0;
  Read(in, &ours, &disk_mb, &rss_mb);
  std::fclose(in);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Die("the session failed");

  const Figures& wb = ours["writeblock_1000"];
  const Figures& w10 = ours["writeblock_10"];
  const Figures& create = ours["gridcreate_block"];
  const Figures& unchanged = ours["setwindow_unchanged"];
  const Figures& first = ours["setwindow_first"];
  const Figures& after = ours["setwindow_after_writes"];
  std::printf("writeblock_dbl 1000 x 1000      %.3f-%.3f s   GDAL read+rewrite 1000 rows %.3f-%.3f s"
              "   ratio %.2f (goal <= 2)\n",
              wb.seconds.lo, wb.seconds.hi, rewrite.seconds.lo, rewrite.seconds.hi,
              wb.seconds.lo / rewrite.seconds.lo);
  std::printf("  written                       %.1f-%.1f MB   (GDAL %.1f-%.1f MB; 1000 rows %.0f MB)"
              "   ratio to the rows %.2f (goal <= 3)\n",
              wb.written.lo, wb.written.hi, rewrite.written.lo, rewrite.written.hi, row_mb,
              wb.written.hi / row_mb);
  std::printf("  of which fsync                %.4f-%.4f s   (the durable commit: the journal's"
              " removal forced %.4f-%.4f s)\n",
              wb.fsync.lo, wb.fsync.hi, wb.dir_fsync.lo, wb.dir_fsync.hi);
  std::printf("writeblock_dbl 10 x 10          %.4f-%.4f s   (goal <= 0.1 s on 20000)"
              "   fsync %.4f-%.4f s, of which the journal's removal %.4f-%.4f s\n",
              w10.seconds.lo, w10.seconds.hi, w10.fsync.lo, w10.fsync.hi, w10.dir_fsync.lo,
              w10.dir_fsync.hi);
  std::printf("gridcreate + first 1000 x 1000  %.3f-%.3f s   (goal <= 1 s)   written %.1f-%.1f MB"
              "   ratio to the block rows %.2f (goal <= 3); new grid on disk %.1f MB\n",
              create.seconds.lo, create.seconds.hi, create.written.lo, create.written.hi,
              create.written.hi / row_mb, disk_mb);
  std::printf("  of which fsync                %.4f-%.4f s\n", create.fsync.lo, create.fsync.hi);
  std::printf("setwindow unchanged layer       %.4f-%.4f s   (goal <= 0.25 s); after the writes %.4f s\n",
              unchanged.seconds.lo, unchanged.seconds.hi, after.seconds.lo);
  std::printf("setwindow first (statistics)    %.3f-%.3f s   GDAL ComputeStatistics %.3f-%.3f s"
              "   ratio %.2f (goal <= 1.5)\n",
              first.seconds.lo, first.seconds.hi, stats.seconds.lo, stats.seconds.hi,
              first.seconds.lo / stats.seconds.lo);
  std::printf("peak resident memory of the session  %.0f MB   (goal <= 400 MB on 20000)\n", rss_mb);
  std::fflush(stdout);
  fs::remove_all(ws);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--session") {
    Session(argv[2], std::atoi(argv[3]), stdout);
    return 0;
  }
  if (argc < 3) Die("usage: big_grids_bench <scratch directory> <size>...");
  self_ = argv[0];
  GDALAllRegister();
  // GDAL's statistics are computed each time, neither stored nor reused.
  CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
  for (int i = 2; i < argc; ++i) {
    const int n = std::atoi(argv[i]);
    if (n < 4000) Die("sizes start at 4000");
    RunSize(argv[1], n);
  }
  return 0;
}
