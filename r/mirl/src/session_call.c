/* The calls of the grid session that R cannot make through .C: the waits
 * of mirl_lib's TCP client with R's interrupt as the check it asks while it
 * waits, and the CRS named to the grid I/O library for the access window. */
#include <R.h>
#include <Rinternals.h>

#include "callables.h"

typedef int (*GridinitWaitsFn)(int, int, int, int (*)(void));
typedef int (*WindowCrsFn)(const char*);

static void check_interrupt(void* unused) {
  (void)unused;
  R_CheckUserInterrupt();
}

/* Whether the user asked R to stop (Ctrl-C, SIGINT). R_CheckUserInterrupt
 * would jump out of mirl_lib's C++ frames; inside R_ToplevelExec the jump
 * ends there, and the pending interrupt is taken: mirl_lib then gives up
 * the wait, and the package raises the interrupt again once it is back. */
static int r_interrupted(void) { return R_ToplevelExec(check_interrupt, NULL) == FALSE; }

static int whole_int(SEXP value, const char* what) {
  const int n = Rf_asInteger(value);
  if (n == NA_INTEGER) Rf_error("bad %s", what);
  return n;
}

/* gridinit_waits(attempts, pause_ms, connect_timeout_ms, R's interrupt). */
SEXP mirl_grid_waits(SEXP attempts, SEXP pause_ms, SEXP connect_timeout_ms) {
  GridinitWaitsFn waits =
      (GridinitWaitsFn)mirl_callable("mirl_lib", "clean_up", "gridinit_waits");
  return Rf_ScalarInteger(waits(whole_int(attempts, "attempt count"),
                                whole_int(pause_ms, "pause"),
                                whole_int(connect_timeout_ms, "connect time-out"),
                                &r_interrupted));
}

/* AccessWindowCrsSet(crs): 0 or the grid I/O library's negative code. */
SEXP mirl_window_crs(SEXP crs) {
  if (!Rf_isString(crs) || XLENGTH(crs) != 1 || STRING_ELT(crs, 0) == NA_STRING)
    Rf_error("the CRS must be one string");
  /* The package's R code asks only while avgridio is loaded. */
  WindowCrsFn name_crs = (WindowCrsFn)mirl_callable("avgridio", NULL, "AccessWindowCrsSet");
  return Rf_ScalarInteger(name_crs(Rf_translateCharUTF8(STRING_ELT(crs, 0))));
}
