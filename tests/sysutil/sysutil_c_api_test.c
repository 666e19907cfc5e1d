/* A C caller of the sysutil exports: the header must be valid C and agree
 * with the C library's own declaration of getpid. */
#include <stddef.h>
#include <unistd.h>

#include "exports/sysutil_api.h"

/* Stores the codes of the null-argument calls, in the order of the header. */
void sysutil_c_null_codes(int codes[6]) {
  char text[MIRL_FILEINFO_TEXT_BYTES];
  double size = 0;
  int free_space = 0;
  codes[0] = fileinfo(NULL, text, &size, &free_space);
  codes[1] = fileinfo("x", NULL, &size, &free_space);
  codes[2] = fileinfo("x", text, NULL, &free_space);
  codes[3] = fileinfo("x", text, &size, NULL);
  codes[4] = shortpath(NULL, text);
  codes[5] = computername(NULL);
}

int sysutil_c_fileinfo(const char* path, char* text, double* size, int* free_space) {
  return fileinfo(path, text, size, free_space);
}
