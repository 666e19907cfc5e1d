/* A C host linked against mirl_lib at build time runs an io mode 2 session
 * with logging: the grid library working for it must never reach the
 * exported getpid (whose entry line would land in the session log), while
 * the host's own getpid does. It then leaves without clean_up, so that the
 * library's unload at process exit runs with a session and the grid library
 * still loaded. Exit code 0 when all holds. */
#define _DEFAULT_SOURCE
#define _XOPEN_SOURCE 700
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "exports/mirl_lib.h"

static int failures = 0;

static void check(int ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "linked_host: %s\n", what);
    ++failures;
  }
}

static int count_in_file(const char* path, const char* text) {
  FILE* f = fopen(path, "r");
  if (f == NULL) return -1;
  char line[1024];
  int n = 0;
  while (fgets(line, sizeof line, f) != NULL)
    if (strstr(line, text) != NULL) ++n;
  fclose(f);
  return n;
}

static int remove_entry(const char* path, const struct stat* st, int type, struct FTW* ftw) {
  (void)st;
  (void)type;
  (void)ftw;
  return remove(path);
}

int main(void) {
  char dir[] = "/tmp/mirl_linked_host_XXXXXX";
  if (mkdtemp(dir) == NULL || chdir(dir) != 0 || mkdir("ws", 0700) != 0) return 2;

  check(gridinit(2, "ws", 0, 1) == 1, "gridinit");
  int rows = 4, cols = 5, block_only = 0;
  double y_ll = 0, x_ll = 0, cell = 1;
  check(makewindow(&rows, &cols, &y_ll, &x_ll, &cell, &block_only) == 1, "makewindow");
  check(gridcreate("g", 2) == 1, "gridcreate");
  double cells[20], back[20];
  for (int i = 0; i < 20; ++i) cells[i] = i * 0.5;
  check(writegrid_dbl("g", 4, 5, -9999.0, cells) == 1, "writegrid_dbl");
  check(readgrid_dbl("g", -9999.0, back) == 1, "readgrid_dbl");
  check(memcmp(cells, back, sizeof cells) == 0, "cells read back");

  /* The host's own call binds to the export, as every call by name in this
   * process would. */
  check(getpid() == (int)syscall(SYS_getpid), "getpid value");
  check(count_in_file("mirl_lib_log.txt", "Entering gridcreate") == 1, "gridcreate logged");
  check(count_in_file("mirl_lib_log.txt", "Entering writegrid") == 1, "writegrid logged");
  const int getpid_lines = count_in_file("mirl_lib_log.txt", "Entering getpid");
  if (getpid_lines != 1) fprintf(stderr, "linked_host: %d getpid entries\n", getpid_lines);
  check(getpid_lines == 1, "only the host's own getpid is logged");

  if (chdir("/") == 0) nftw(dir, remove_entry, 16, FTW_DEPTH | FTW_PHYS);
  return failures == 0 ? 0 : 1;
}
