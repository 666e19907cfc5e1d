/* Exports of the grid family: the grid-server session and the grid
 * operations that go through it. See mirl_lib.h for the shared conventions.
 *
 * A session is opened by gridinit and closed by clean_up; one per process.
 * Every grid export but gridinit passes on the session's codes -620 (failure
 * in the exchange), -630 (no session open) and -631 (the server gave no
 * reply), and the grid server's own codes: 1 or -10001..-10019 (for example
 * -10007 grid not found, -10013 no access window). Caller's buffers are
 * written only when the server answered with success.
 *
 * Cell arrays hold rows one after another (the cell of row r, column c at
 * r * columns + c, from 0); row 0 is the northern edge. An R matrix of the
 * grid's rows and columns is therefore passed as t(m). The library cannot
 * learn an array's size: a read array must hold rows x columns of the access
 * window (getwindow) for a whole grid, and the widened block for a block.
 * Strings are zero-terminated; in the R_ twins a string is a pointer to R's
 * string array (its first element is used; character(0) gives the export's
 * null-argument code). */
#ifndef MIRL_EXPORTS_GRID_API_H_
#define MIRL_EXPORTS_GRID_API_H_

#include "exports/mirl_api.h"

/* Opens the session. io_mode 1: a remote grid server at host source_name,
 * port source_port (3339 when <= 0), checked with a ping; io_mode 2: the
 * library is its own grid server over the base directory source_name. With
 * do_log non-zero the session log "mirl_lib_log.txt" and the server log
 * "grid_server_log.txt" are opened in the current directory.
 * Returns 1, or -621 io_mode not 1 or 2, -622 source_name null, -623 a
 * session is already open (it stays open); and, with the session closed
 * again: -624 io mode 1 with an empty host, -625 the server did not answer
 * the ping (after the client's 25 attempts), -626 failure while loading the
 * grid library or creating the handler, -627 the grid library (avgridio
 * beside mirl_lib) is missing or incomplete, -628 the TCP client could not
 * be made, -629 failure while pinging (for example an unknown host name),
 * -620 any other failure. */
MIRL_API int gridinit(int io_mode, const char* source_name, int source_port, int do_log);
MIRL_API int R_gridinit(int* result, int* io_mode, char** source_name, int* source_port,
                        int* do_log);

/* How the TCP client of io mode 1 waits, for hosts that want other than the
 * 25 attempts 10 s apart: every exchange makes at most `attempts` attempts
 * (1..10000), `pause_ms` apart (0..86400000), each connect given up after
 * `connect_timeout_ms` (1..86400000). With `interrupted` not null the client
 * asks it every 100 ms while it waits on the server or between attempts; a
 * non-zero answer ends the exchange at once: gridinit then returns -632 with
 * the session closed, the other grid exports -632 with the session still
 * open. Applies to the session's client from its next exchange and to those
 * that later gridinit calls make, until clean_up restores the designed
 * waits. Returns 1, or -633 attempts, -634 pause_ms, -635 connect_timeout_ms
 * out of range (nothing changed), -620 any other failure. No R_ twin: a
 * function pointer does not pass through .C. */
MIRL_API int gridinit_waits(int attempts, int pause_ms, int connect_timeout_ms,
                            int (*interrupted)(void));

/* Access windows: the extent and resolution through which every grid is
 * read and written. All three return the window in force through the six
 * pointers (block_only: 1 when the server only serves blocks).
 * setwindow: the extent of grid_name becomes the window. makewindow: the
 * window from *y_count rows, *x_count columns, lower-left (*x_ll, *y_ll) and
 * *cell_size (*block_only is not sent). getwindow: the window in force.
 * setwindow codes: -601 grid_name, -602 y_count, -603 x_count, -604 y_ll,
 * -605 x_ll, -606 cell_size, -608 block_only null; -600 failure. makewindow:
 * -762..-766, -768 for the same pointers; -760 failure. getwindow: -522..-526,
 * -528; -520 failure. setwindow and makewindow also store the window on
 * -10014 (a window exists and was kept); getwindow returns -10013 when no
 * window is set, the six values untouched. */
MIRL_API int setwindow(const char* grid_name, int* y_count, int* x_count, double* y_ll,
                       double* x_ll, double* cell_size, int* block_only);
MIRL_API int makewindow(int* y_count, int* x_count, double* y_ll, double* x_ll, double* cell_size,
                        int* block_only);
MIRL_API int getwindow(int* y_count, int* x_count, double* y_ll, double* x_ll, double* cell_size,
                       int* block_only);
MIRL_API int R_setwindow(int* result, char** grid_name, int* y_count, int* x_count, double* y_ll,
                         double* x_ll, double* cell_size, int* block_only);
MIRL_API int R_makewindow(int* result, int* y_count, int* x_count, double* y_ll, double* x_ll,
                          double* cell_size, int* block_only);
MIRL_API int R_getwindow(int* result, int* y_count, int* x_count, double* y_ll, double* x_ll,
                         double* cell_size, int* block_only);

/* Whole grids through the access window. A read fills mtx_grid with the
 * grid's cells, its no-data cells as missing_value; float cells become
 * integers by truncation toward zero in readgrid_int (NaN as INT_MIN, the
 * rest clamped to the int range). A write sends y_count x x_count cells
 * (doubles rounded to float in writegrid_dbl); cells equal to missing_value
 * become no-data. The _dbl exports send the missing value to an integer
 * grid truncated toward zero.
 * readgrid codes: -661 mtx_grid null, -662 grid_name null, -663 the reply
 * held fewer cells than its rows x columns (array untouched), -660 failure.
 * writegrid: -681 grid_name null, -682 mtx_grid null, -683 y_count <= 0,
 * -684 x_count <= 0, -680 failure. */
MIRL_API int readgrid_int(const char* grid_name, int missing_value, int* mtx_grid);
MIRL_API int readgrid_dbl(const char* grid_name, double missing_value, double* mtx_grid);
MIRL_API int writegrid_int(const char* grid_name, int y_count, int x_count, int missing_value,
                           const int* mtx_grid);
MIRL_API int writegrid_dbl(const char* grid_name, int y_count, int x_count, double missing_value,
                           const double* mtx_grid);
MIRL_API int R_readgrid_int(int* result, char** grid_name, int* missing_value, int* mtx_grid);
MIRL_API int R_readgrid_dbl(int* result, char** grid_name, double* missing_value, double* mtx_grid);
MIRL_API int R_writegrid_int(int* result, char** grid_name, int* y_count, int* x_count,
                             int* missing_value, int* mtx_grid);
MIRL_API int R_writegrid_dbl(int* result, char** grid_name, int* y_count, int* x_count,
                             double* missing_value, double* mtx_grid);

/* Blocks. y_start and x_start are the block's first row and column, from 1.
 * A read widens the block by buffer_size cells on every side: mtx_block
 * must hold (y_count + 2 buffer_size) x (x_count + 2 buffer_size) cells, and
 * cells outside the grid arrive as missing_value. A write merges the block:
 * transparency 0 opaque (missing_value cells become no-data), 1 transparent
 * (missing_value cells leave the grid as it was), 2 additive (grid cell plus
 * block cell, a no-data grid cell taking the block cell); block cells
 * outside the grid are ignored.
 * readblock codes: -701 grid_name null, -702 y_start <= 0, -703 x_start <= 0,
 * -704 y_count <= 0, -705 x_count <= 0, -706 mtx_block null, -707 buffer_size
 * < 0 (or so large that the widened block exceeds 2^31 - 1 rows or columns),
 * -708 the reply held fewer cells than the block (array untouched), -700
 * failure. writeblock: -721..-726 as -701..-706, -727 transparency not 0, 1
 * or 2, -720 failure. */
MIRL_API int readblock_int(const char* grid_name, int y_start, int x_start, int y_count,
                           int x_count, int buffer_size, int missing_value, int* mtx_block);
MIRL_API int readblock_dbl(const char* grid_name, int y_start, int x_start, int y_count,
                           int x_count, int buffer_size, double missing_value, double* mtx_block);
MIRL_API int writeblock_int(const char* grid_name, int y_start, int x_start, int y_count,
                            int x_count, int missing_value, const int* mtx_block, int transparency);
MIRL_API int writeblock_dbl(const char* grid_name, int y_start, int x_start, int y_count,
                            int x_count, double missing_value, const double* mtx_block,
                            int transparency);
MIRL_API int R_readblock_int(int* result, char** grid_name, int* y_start, int* x_start,
                             int* y_count, int* x_count, int* buffer_size, int* missing_value,
                             int* mtx_block);
MIRL_API int R_readblock_dbl(int* result, char** grid_name, int* y_start, int* x_start,
                             int* y_count, int* x_count, int* buffer_size, double* missing_value,
                             double* mtx_block);
MIRL_API int R_writeblock_int(int* result, char** grid_name, int* y_start, int* x_start,
                              int* y_count, int* x_count, int* missing_value, int* mtx_block,
                              int* transparency);
MIRL_API int R_writeblock_dbl(int* result, char** grid_name, int* y_start, int* x_start,
                              int* y_count, int* x_count, double* missing_value, double* mtx_block,
                              int* transparency);

/* Catalogue.
 * gridlist: the grids under root ("" for the session's base directory).
 * grid_list is a buffer whose current length (1..9999 characters, for
 * example strrep(" ", 1000)) is its capacity; it receives the names that
 * fit, each followed by one blank. Codes: 1, -821 grid_list null, -822 empty,
 * -823 10000 characters or more, -825 root null, -824 some names did not
 * fit (those that fit were written), -740 failure.
 * gridkill: deletes the grid. -641 grid_name null, -640 failure.
 * griddescribe: the grid's rows, columns, lower-left corner, cell size, cell
 * type (1 integer, 2 float) and statistics. -741 grid_name null, -742..-751
 * each out-pointer null in order, -740 failure.
 * gridcreate: an empty grid of cell_type (1 or 2) over the access window.
 * -801 grid_name null, -802 bad cell type, -800 failure.
 * gridcopy: copies src_grid_name to dst_grid_name. -781 source null, -782
 * destination null, -780 failure.
 * gridserver_retire: asks a remote grid server to stop; the in-process
 * server answers -10019. -640 failure. */
MIRL_API int gridlist(const char* root, char* grid_list);
MIRL_API int gridkill(const char* grid_name);
MIRL_API int griddescribe(const char* grid_name, int* y_count, int* x_count, double* y_ll,
                          double* x_ll, double* cell_size, int* cell_type, double* stat_min,
                          double* stat_max, double* stat_mean, double* stat_stddev);
MIRL_API int gridcreate(const char* grid_name, int cell_type);
MIRL_API int gridcopy(const char* src_grid_name, const char* dst_grid_name);
MIRL_API int gridserver_retire(void);
MIRL_API int R_gridlist(int* result, char** root, char** grid_list);
MIRL_API int R_gridkill(int* result, char** grid_name);
MIRL_API int R_griddescribe(int* result, char** grid_name, int* y_count, int* x_count, double* y_ll,
                            double* x_ll, double* cell_size, int* cell_type, double* stat_min,
                            double* stat_max, double* stat_mean, double* stat_stddev);
MIRL_API int R_gridcreate(int* result, char** grid_name, int* cell_type);
MIRL_API int R_gridcopy(int* result, char** src_grid_name, char** dst_grid_name);
MIRL_API int R_gridserver_retire(int* result);

#endif /* MIRL_EXPORTS_GRID_API_H_ */
