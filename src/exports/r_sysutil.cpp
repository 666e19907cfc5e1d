// R's .C twins of the sysutil exports: dereference, call, store, return.
// R passes an empty character vector as a null pointer, and a null result
// pointer cannot come from .C at all; both are tolerated so that a C caller's
// mistake becomes the export's null-argument code rather than a crash.
#include "exports/sysutil_api.h"

// The library's own getpid under a hidden name (getpid_export.cpp).
extern "C" MIRL_INTERNAL int mirl_own_getpid(void) MIRL_GETPID_NOEXCEPT;

namespace {

char* FirstString(char** strings) { return strings == nullptr ? nullptr : strings[0]; }

int Store(int* result, int code) {
  if (result != nullptr) *result = code;
  return code;
}

}  // namespace

MIRL_API int R_fileinfo(int* result, char** path, char** text, double* size, int* free_space) {
  return Store(result, fileinfo(FirstString(path), FirstString(text), size, free_space));
}

MIRL_API int R_shortpath(int* result, char** long_path, char** short_path) {
  return Store(result, shortpath(FirstString(long_path), FirstString(short_path)));
}

MIRL_API int R_computername(int* result, char** name) {
  return Store(result, computername(FirstString(name)));
}

MIRL_API int R_getpid(int* result) { return Store(result, mirl_own_getpid()); }
