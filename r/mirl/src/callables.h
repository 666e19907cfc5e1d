/* The entry points of the package's other DLLs that its own C code calls:
 * mirl_lib's and avgridio's C-callables, found again at every call (R may
 * unload a DLL and load it anew, at another address). */
#ifndef MIRL_RCALL_CALLABLES_H_
#define MIRL_RCALL_CALLABLES_H_

#include <R_ext/Rdynload.h>

/* The C-callable name of DLL dll, registered when R loaded it. probe names
 * a .C routine the DLL registers, by which its being loaded is told (an R
 * error when it is not); NULL when the caller knows the DLL is loaded. */
DL_FUNC mirl_callable(const char* dll, const char* probe, const char* name);

#endif /* MIRL_RCALL_CALLABLES_H_ */
