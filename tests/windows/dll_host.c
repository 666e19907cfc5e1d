/* A Windows host of mirl_lib.dll written in C, as R on Windows is one: it
 * loads the DLL with a plain LoadLibraryA, finds every export family with
 * GetProcAddress and calls it. With a port it opens an io mode 1 session
 * with the grid server listening on 127.0.0.1 at that port, writes a whole
 * grid and reads it back, cell for cell, then asks the server to retire.
 * The system utilities are compared with the Windows calls made here.
 * Usage: dll_host <path of mirl_lib.dll> <scratch directory> [port]
 * Prints one line per failed check and "N passed, M failed"; exits 0 only
 * when nothing failed. */
#include <direct.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "exports/mirl_lib.h"

static int g_passed = 0;
static int g_failed = 0;

static void Check(int ok, const char* what) {
  if (ok) {
    ++g_passed;
  } else {
    ++g_failed;
    printf("FAILED: %s\n", what);
  }
}

static HMODULE g_lib;

static void* Find(const char* name) {
  void* f = (void*)GetProcAddress(g_lib, name);
  Check(f != NULL, name);
  return f;
}

/* A pointer to the export name, of the export's own declared type. */
#define EXPORT(name) __typeof__(&name) p_##name = (__typeof__(&name))Find(#name)
#define READY(name) (p_##name != NULL)

static void Analysis(void) {
  EXPORT(spread);
  EXPORT(R_spread);
  EXPORT(patch_scan);
  EXPORT(floyd_warshall);
  EXPORT(zdensity);
  EXPORT(clip_int);
  EXPORT(sparseget_dbl);
  EXPORT(mvrep_int);
  EXPORT(eudist_dbl);
  EXPORT(wetspread);
  EXPORT(connect_rescale_matrix);
  EXPORT(connect_rescale_scalar);
  EXPORT(sparseput_dbl);
  if (READY(spread) && READY(R_spread)) {
    /* A 3 x 3 surface of resistance 1: a value of 10 from the centre
     * reaches every cell. */
    double surface[9], twin[9];
    int i, result = 0, row = 2, col = 2, rows = 3, cols = 3, diagonal = 1;
    double value = 10.0;
    for (i = 0; i < 9; ++i) surface[i] = twin[i] = 1.0;
    Check(p_spread(10.0, 2, 2, 3, 3, surface, 1) == 9, "spread reaches 9 cells");
    Check(surface[4] == 10.0 && surface[0] < surface[1], "spread surface falls off");
    Check(
        p_R_spread(&result, &value, &row, &col, &rows, &cols, twin, &diagonal) == 9 && result == 9,
        "R_spread stores its count");
    Check(memcmp(surface, twin, sizeof surface) == 0, "R_spread gives spread's surface");
  }
  if (READY(patch_scan)) {
    int grid[6] = {6, 6, 9, 9, 6, 6}, count = 0;
    /* rows 6 6 9 / 9 6 6: one patch of 6s through four neighbours */
    Check(p_patch_scan(grid, 2, 3, 4, 9, &count) == 1 && count == 1 && grid[5] == 0,
          "patch_scan finds one patch");
  }
  if (READY(floyd_warshall)) {
    /* mode 1, smallest sum: 0 -> 1 costs 1, 1 -> 2 costs 2, so 0 -> 2 costs 3 */
    double m[9] = {0, 1, 100, 1, 0, 2, 100, 2, 0};
    Check(p_floyd_warshall(3, m, 1) == 1 && m[2] == 3.0 && m[6] == 3.0, "floyd_warshall");
    Check(p_floyd_warshall(3, m, 2) == -843, "floyd_warshall refuses mode 2");
  }
  if (READY(zdensity)) {
    double v = 0.0;
    Check(p_zdensity(0.0, 1.0, 1, &v, -1.0) == 1 && v > 0.398 && v < 0.3991, "zdensity");
  }
  if (READY(clip_int)) {
    int grid[9] = {0, 0, 0, 0, 5, 7, 0, 0, 0}, box[4] = {0, 0, 0, 0};
    Check(p_clip_int(3, 3, grid, box) == 1 && box[0] == 2 && box[1] == 2 && box[2] == 2 &&
              box[3] == 3,
          "clip_int boxes the non-zero cells");
  }
  if (READY(sparseget_dbl)) {
    double grid[4] = {1, 2, 3, 4}, out[1] = {0};
    int coords[2] = {2, 1};
    Check(p_sparseget_dbl(2, 2, 1, grid, coords, out) == 1 && out[0] == 3.0, "sparseget_dbl");
  }
  if (READY(mvrep_int)) {
    int grid[4] = {1, -9, 3, -9};
    const unsigned char mask[1] = {0x50}; /* cells 1 and 3 */
    const int code = p_mvrep_int(2, 2, -9, 7, grid, mask);
    Check(code == 1 && grid[1] == 7 && grid[3] == 7 && grid[0] == 1, "mvrep_int");
  }
  if (READY(wetspread)) {
    /* A channel running east out of the matrix: 3 from the first cell loses
     * the next cell's cost of 1 at each step. */
    double cost[3] = {1, 1, 1}, wet[3] = {0, 0, 0};
    int direction[3] = {1, 1, 1};
    Check(p_wetspread(3.0, 1, 1, 1, 3, cost, direction, wet) == 1 && wet[0] == 3.0 &&
              wet[1] == 2.0 && wet[2] == 1.0,
          "wetspread down a channel");
  }
  if (READY(connect_rescale_matrix) && READY(connect_rescale_scalar)) {
    /* The same values through both: the scalar is the matrix's sum. The
     * third cell is not admitted by the mask. */
    double values[3] = {0.5, 2.0, 4.0}, again[3] = {0.5, 2.0, 4.0}, weights[3] = {1, 2, 5};
    double matrix[3] = {-1, -1, -1}, scalar = -1;
    int mask[3] = {1, 1, -1};
    Check(p_connect_rescale_matrix(1.0, 0.0, 1, 3, -1.0, values, weights, mask, matrix) == 1 &&
              matrix[0] > matrix[1] && matrix[1] > 0.0 && matrix[2] == 0.0,
          "connect_rescale_matrix");
    Check(p_connect_rescale_scalar(1.0, 0.0, 1, 3, -1.0, again, weights, mask, &scalar) == 1 &&
              scalar > 0.0 && scalar - (matrix[0] + matrix[1]) < 1e-15 &&
              (matrix[0] + matrix[1]) - scalar < 1e-15,
          "connect_rescale_scalar sums the matrix");
  }
  if (READY(sparseput_dbl)) {
    double grid[4] = {0, 0, 0, 0}, values[1] = {8.5};
    int coords[2] = {2, 2};
    Check(p_sparseput_dbl(2, 2, 1, grid, coords, values) == 1 && grid[3] == 8.5 && grid[0] == 0,
          "sparseput_dbl");
  }
  if (READY(eudist_dbl)) {
    double reference[2] = {0, 0}, stack[2] = {3, 4}, result[1] = {0};
    Check(p_eudist_dbl(2, 1, 1, -1.0, reference, stack, result, 0) == 1 && result[0] == 5.0,
          "eudist_dbl is 5 for (3, 4)");
  }
}

static void TimeText(const FILETIME* time, char* text) {
  static const char* const month[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  SYSTEMTIME utc, local;
  FileTimeToSystemTime(time, &utc);
  SystemTimeToTzSpecificLocalTime(NULL, &utc, &local);
  sprintf(text, "%02d %s %d, %02d:%02d:%02d:%03d", local.wDay, month[local.wMonth - 1], local.wYear,
          local.wHour, local.wMinute, local.wSecond, local.wMilliseconds);
}

static void WriteBytes(const char* path, int bytes) {
  FILE* f = fopen(path, "wb");
  int i;
  for (i = 0; f != NULL && i < bytes; ++i) fputc('x', f);
  if (f != NULL) fclose(f);
}

static void Utilities(const char* dll_path, const char* scratch) {
  EXPORT(fileinfo);
  EXPORT(R_fileinfo);
  EXPORT(shortpath);
  EXPORT(computername);
  EXPORT(getpid);
  EXPORT(R_getpid);
  char text[MIRL_FILEINFO_TEXT_BYTES], expected[64], pattern[MAX_PATH], path[MAX_PATH];
  double size = -1;
  int free_space = -1, result = 0;
  WIN32_FIND_DATAA found;
  HANDLE find;
  if (READY(fileinfo) && READY(R_fileinfo)) {
    char* paths[1];
    char* texts[1];
    find = FindFirstFileA(dll_path, &found);
    Check(find != INVALID_HANDLE_VALUE, "FindFirstFileA of the DLL");
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    Check(p_fileinfo(dll_path, text, &size, &free_space) == 1, "fileinfo of the DLL");
    Check(size == (double)found.nFileSizeLow / 1000000.0, "fileinfo size is FindFirstFile's");
    TimeText(&found.ftLastWriteTime, expected);
    Check(strcmp(text, expected) == 0, "fileinfo time is FindFirstFile's, made local");
    Check(free_space >= 0, "fileinfo free space");

    /* Three files under "*.bin", one beside them that does not match. */
    sprintf(path, "%s\\a.bin", scratch);
    WriteBytes(path, 1000);
    sprintf(path, "%s\\b.bin", scratch);
    WriteBytes(path, 2000);
    sprintf(path, "%s\\c.bin", scratch);
    WriteBytes(path, 500);
    sprintf(path, "%s\\d.txt", scratch);
    WriteBytes(path, 9000);
    sprintf(pattern, "%s\\*.bin", scratch);
    paths[0] = pattern;
    texts[0] = text;
    Check(p_R_fileinfo(&result, paths, texts, &size, &free_space) == 1 && result == 1,
          "R_fileinfo over a * pattern");
    Check(size == 0.0035, "the * pattern sums its three files");
  }
  if (READY(shortpath)) {
    char long_path[MAX_PATH], direct[MAX_PATH], out[MIRL_SHORTPATH_BYTES];
    sprintf(long_path, "%s\\A Folder With A Long Name", scratch);
    CreateDirectoryA(long_path, NULL);
    memset(out, ' ', sizeof out - 1);
    out[sizeof out - 1] = '\0';
    Check(GetShortPathNameA(long_path, direct, MAX_PATH) > 0, "GetShortPathNameA");
    Check(p_shortpath(long_path, out) == 1 && strcmp(out, direct) == 0,
          "shortpath is GetShortPathNameA's");
  }
  if (READY(computername)) {
    char name[MIRL_COMPUTERNAME_BYTES], direct[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = sizeof direct;
    GetComputerNameA(direct, &n);
    Check(p_computername(name) == 1 && strcmp(name, direct) == 0,
          "computername is GetComputerNameA's");
  }
  if (READY(getpid) && READY(R_getpid)) {
    const int pid = (int)GetCurrentProcessId();
    Check(p_getpid() == pid, "getpid is GetCurrentProcessId");
    Check(p_R_getpid(&result) == pid && result == pid, "R_getpid");
  }
}

static void RemoteGrid(int port) {
  EXPORT(gridinit);
  EXPORT(R_gridinit);
  EXPORT(makewindow);
  EXPORT(getwindow);
  EXPORT(setwindow);
  EXPORT(gridcreate);
  EXPORT(writegrid_dbl);
  EXPORT(readgrid_dbl);
  EXPORT(R_readgrid_dbl);
  EXPORT(writeblock_int);
  EXPORT(readblock_int);
  EXPORT(griddescribe);
  EXPORT(gridlist);
  EXPORT(gridcopy);
  EXPORT(gridkill);
  EXPORT(gridserver_retire);
  EXPORT(clean_up);
  enum { kRows = 40, kCols = 30, kCells = kRows * kCols };
  static double cells[kCells], back[kCells], twin[kCells];
  int rows = kRows, cols = kCols, block_only = 0, i, same = 1, result = 0, io_mode = 1, log = 0;
  double y_ll = 1000.0, x_ll = 2000.0, cell = 5.0, missing = -9999.0;
  char host[] = "127.0.0.1";
  char* hosts[1] = {host};
  char name[] = "dem";
  char* names[1] = {name};
  if (!READY(gridinit) || !READY(makewindow) || !READY(writegrid_dbl) || !READY(readgrid_dbl) ||
      !READY(clean_up) || !READY(R_gridinit) || !READY(gridserver_retire)) {
    return;
  }
  Check(p_R_gridinit(&result, &io_mode, hosts, &port, &log) == 1 && result == 1,
        "R_gridinit in io mode 1");
  p_clean_up();
  Check(p_gridinit(1, "127.0.0.1", port, 0) == 1, "gridinit in io mode 1");
  Check(p_makewindow(&rows, &cols, &y_ll, &x_ll, &cell, &block_only) == 1, "makewindow");
  if (READY(getwindow)) {
    int r = 0, c = 0, b = 0;
    double y = 0, x = 0, s = 0;
    Check(p_getwindow(&r, &c, &y, &x, &s, &b) == 1 && r == kRows && c == kCols && s == 5.0,
          "getwindow gives the window made");
  }
  if (READY(gridcreate)) Check(p_gridcreate("dem", 2) == 1, "gridcreate");
  for (i = 0; i < kCells; ++i) cells[i] = (double)((i * 37) % 1001) / 8.0 - 40.0;
  cells[17] = missing;
  Check(p_writegrid_dbl("dem", kRows, kCols, missing, cells) == 1, "writegrid_dbl");
  Check(p_readgrid_dbl("dem", missing, back) == 1, "readgrid_dbl");
  for (i = 0; i < kCells; ++i) same = same && back[i] == cells[i];
  Check(same, "every cell read back equals the cell written");
  if (READY(R_readgrid_dbl)) {
    Check(p_R_readgrid_dbl(&result, names, &missing, twin) == 1 && result == 1 &&
              memcmp(twin, back, sizeof back) == 0,
          "R_readgrid_dbl reads the same cells");
  }
  if (READY(writeblock_int) && READY(readblock_int)) {
    int block[4] = {1, 2, 3, 4}, out[4] = {0, 0, 0, 0};
    Check(p_gridcreate("ints", 1) == 1, "gridcreate of an integer grid");
    Check(p_writeblock_int("ints", 3, 5, 2, 2, -1, block, 0) == 1, "writeblock_int");
    Check(
        p_readblock_int("ints", 3, 5, 2, 2, 0, -1, out) == 1 && memcmp(out, block, sizeof out) == 0,
        "readblock_int reads the block written");
  }
  if (READY(setwindow)) {
    /* A grid server keeps the first window: it answers with that one. */
    int r = 0, c = 0, b = 0;
    double y = 0, x = 0, s = 0;
    Check(p_setwindow("dem", &r, &c, &y, &x, &s, &b) == -10014 && r == kRows && c == kCols &&
              x == 2000.0,
          "setwindow gives the window the server keeps");
  }
  if (READY(griddescribe)) {
    int r = 0, c = 0, type = 0;
    double y = 0, x = 0, s = 0, lo = 0, hi = 0, mean = 0, sd = 0;
    Check(p_griddescribe("dem", &r, &c, &y, &x, &s, &type, &lo, &hi, &mean, &sd) == 1 &&
              r == kRows && c == kCols && type == 2,
          "griddescribe");
  }
  if (READY(gridcopy) && READY(gridkill) && READY(gridlist)) {
    char list[4096];
    memset(list, ' ', sizeof list - 1);
    list[sizeof list - 1] = '\0';
    Check(p_gridcopy("dem", "dem_copy") == 1, "gridcopy");
    Check(p_gridlist("", list) == 1 && strstr(list, "dem_copy") != NULL, "gridlist");
    Check(p_gridkill("dem_copy") == 1, "gridkill");
  }
  Check(p_gridserver_retire() == 1, "gridserver_retire");
  p_clean_up();
}

int main(int argc, char** argv) {
  char dll_path[MAX_PATH], scratch[MAX_PATH];
  if (argc < 3) {
    fprintf(stderr, "usage: dll_host <mirl_lib.dll> <scratch directory> [port]\n");
    return 2;
  }
  GetFullPathNameA(argv[1], MAX_PATH, dll_path, NULL);
  GetFullPathNameA(argv[2], MAX_PATH, scratch, NULL);
  g_lib = LoadLibraryA(dll_path);
  Check(g_lib != NULL, "LoadLibraryA of mirl_lib.dll");
  if (g_lib == NULL) {
    printf("%d passed, %d failed\n", g_passed, g_failed);
    return 1;
  }
  printf("pointer size %d\n", (int)sizeof(void*));
  Analysis();
  Utilities(dll_path, scratch);
  if (argc > 3) RemoteGrid(atoi(argv[3]));
  Check(FreeLibrary(g_lib) != 0, "FreeLibrary");
  printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}
