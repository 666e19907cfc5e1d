/* What R learns of mirl_lib when it loads it, in a build for the R package
 * (MIRL_R_PACKAGE): the .C routines by name with their argument counts (the
 * R_ twins and clean_up, which .C(..., PACKAGE = "mirl_lib") reaches as
 * before), no search for other symbols, the plain exports the package's own
 * C code calls as C-callables, and R's console as the logger's console.
 * Every export outside this table stays out of R's reach. */
#include <R.h>
#include <R_ext/Rdynload.h>
#include <R_ext/Visibility.h>

#include "exports/mirl_lib.h"
#include "logging/console_writer.h"

static void r_console(const char* text) { Rprintf("%s", text); }

static const R_CMethodDef kCMethods[] = {
    {"clean_up", (DL_FUNC)&clean_up, 0},
    {"R_spread", (DL_FUNC)&R_spread, 8},
    {"R_wetspread", (DL_FUNC)&R_wetspread, 9},
    {"R_patch_scan", (DL_FUNC)&R_patch_scan, 7},
    {"R_mvrep_int", (DL_FUNC)&R_mvrep_int, 7},
    {"R_mvrep_dbl", (DL_FUNC)&R_mvrep_dbl, 7},
    {"R_sparseput_int", (DL_FUNC)&R_sparseput_int, 7},
    {"R_sparseput_dbl", (DL_FUNC)&R_sparseput_dbl, 7},
    {"R_sparseget_int", (DL_FUNC)&R_sparseget_int, 7},
    {"R_sparseget_dbl", (DL_FUNC)&R_sparseget_dbl, 7},
    {"R_clip_int", (DL_FUNC)&R_clip_int, 5},
    {"R_clip_dbl", (DL_FUNC)&R_clip_dbl, 5},
    {"R_zdensity", (DL_FUNC)&R_zdensity, 6},
    {"R_connect_rescale_matrix", (DL_FUNC)&R_connect_rescale_matrix, 10},
    {"R_connect_rescale_scalar", (DL_FUNC)&R_connect_rescale_scalar, 10},
    {"R_floyd_warshall", (DL_FUNC)&R_floyd_warshall, 4},
    {"R_eudist_int", (DL_FUNC)&R_eudist_int, 9},
    {"R_eudist_dbl", (DL_FUNC)&R_eudist_dbl, 9},
    {"R_gridinit", (DL_FUNC)&R_gridinit, 5},
    {"R_setwindow", (DL_FUNC)&R_setwindow, 8},
    {"R_makewindow", (DL_FUNC)&R_makewindow, 7},
    {"R_getwindow", (DL_FUNC)&R_getwindow, 7},
    {"R_readgrid_int", (DL_FUNC)&R_readgrid_int, 4},
    {"R_readgrid_dbl", (DL_FUNC)&R_readgrid_dbl, 4},
    {"R_writegrid_int", (DL_FUNC)&R_writegrid_int, 6},
    {"R_writegrid_dbl", (DL_FUNC)&R_writegrid_dbl, 6},
    {"R_readblock_int", (DL_FUNC)&R_readblock_int, 9},
    {"R_readblock_dbl", (DL_FUNC)&R_readblock_dbl, 9},
    {"R_writeblock_int", (DL_FUNC)&R_writeblock_int, 9},
    {"R_writeblock_dbl", (DL_FUNC)&R_writeblock_dbl, 9},
    {"R_gridlist", (DL_FUNC)&R_gridlist, 3},
    {"R_gridkill", (DL_FUNC)&R_gridkill, 2},
    {"R_griddescribe", (DL_FUNC)&R_griddescribe, 12},
    {"R_gridcreate", (DL_FUNC)&R_gridcreate, 3},
    {"R_gridcopy", (DL_FUNC)&R_gridcopy, 3},
    {"R_gridserver_retire", (DL_FUNC)&R_gridserver_retire, 1},
    {"R_fileinfo", (DL_FUNC)&R_fileinfo, 5},
    {"R_shortpath", (DL_FUNC)&R_shortpath, 3},
    {"R_computername", (DL_FUNC)&R_computername, 2},
    {"R_getpid", (DL_FUNC)&R_getpid, 1},
    {NULL, NULL, 0}};

void attribute_visible R_init_mirl_lib(DllInfo* dll) {
  R_registerRoutines(dll, kCMethods, NULL, NULL, NULL);
  R_useDynamicSymbols(dll, FALSE);
  R_RegisterCCallable("mirl_lib", "readgrid_dbl", (DL_FUNC)&readgrid_dbl);
  R_RegisterCCallable("mirl_lib", "readblock_dbl", (DL_FUNC)&readblock_dbl);
  R_RegisterCCallable("mirl_lib", "gridinit_waits", (DL_FUNC)&gridinit_waits);
  mirl_set_console_writer(&r_console);
}
