/* What R learns of avgridio when the R package loads it: no .C routines and
 * no symbol search (the grid I/O entry points are mirl_lib's to call), and
 * AccessWindowCrsSet as a C-callable for the package's own C code. */
#include <R.h>
#include <R_ext/Rdynload.h>
#include <R_ext/Visibility.h>

#include "avgridio.h"

void attribute_visible R_init_avgridio(DllInfo* dll) {
  R_registerRoutines(dll, NULL, NULL, NULL, NULL);
  R_useDynamicSymbols(dll, FALSE);
  R_RegisterCCallable("avgridio", "AccessWindowCrsSet", (DL_FUNC)&AccessWindowCrsSet);
}
