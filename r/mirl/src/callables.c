#include "callables.h"

#include <R.h>
#include <Rinternals.h>

DL_FUNC mirl_callable(const char* dll, const char* probe, const char* name) {
  /* A DLL that R unloaded leaves its C-callables behind, pointing at code
   * that is gone: they are taken only while the DLL is loaded. */
  if (probe != NULL && R_FindSymbol(probe, dll, NULL) == NULL)
    Rf_error("%s is not loaded (no entry point %s)", dll, name);
  return R_GetCCallable(dll, name);
}
