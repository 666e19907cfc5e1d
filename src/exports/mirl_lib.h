/* The whole exported C interface of mirl_lib.
 *
 * Conventions shared by every export:
 * - Result codes are 32-bit signed: 1 is success (spread returns its count of
 *   reached cells, getpid the process id), failures are negative codes in one
 *   band of consecutive values per export (or _int/_dbl pair). Grid exports
 *   also pass on the grid server's codes 1 and -10001..-10019.
 * - Every export but clean_up has an R_ twin for R's .C: first a pointer that
 *   receives the result, then every scalar by pointer, every array as it is,
 *   every string as a pointer to an array of strings whose first is used.
 * - Matrices are row after row (element r*ncols + c); row and column numbers
 *   passed as arguments are 1-based.
 * - No exception leaves an export. The library starts no threads.
 */
#ifndef MIRL_EXPORTS_MIRL_LIB_H_
#define MIRL_EXPORTS_MIRL_LIB_H_

#include "exports/mirl_api.h"

/* Releases the spread work buffer and closes the grid-server session (logs
 * included). Safe at any time, also twice or before anything else. */
MIRL_API void clean_up(void);

#include "exports/analysis_api.h"
#include "exports/grid_api.h"
#include "exports/sysutil_api.h"

#endif /* MIRL_EXPORTS_MIRL_LIB_H_ */
