/* Whole-grid and block reads for the R functions, through .Call: the cells
 * go from mirl_lib straight into a new R vector, or through one transposing
 * pass into a new R matrix. Through .C the same read costs R's zero-fill of
 * the result, a copy of it in and a copy out, each a pass over fresh memory
 * (tens of milliseconds for a grid of a few million cells).
 *
 * mirl_lib's entry points are looked up at every call (callables.h), never
 * linked: the package loads it itself, and it may be unloaded and loaded
 * again (with another address) within one R session.
 *
 * Cells come back as doubles with NA for no-data: NaN is the missing value
 * asked for, so float no-data and cells outside the grid arrive as NaN, and
 * integer no-data as INT_MIN (NaN truncated to an integer). */
#include <R.h>
#include <Rinternals.h>
#include <R_ext/Rdynload.h>

#include "callables.h"

#include <limits.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

typedef int (*ReadGridFn)(const char*, double, double*);
typedef int (*ReadBlockFn)(const char*, int, int, int, int, int, double, double*);

static DL_FUNC library_entry(const char* name) {
  return mirl_callable("mirl_lib", "clean_up", name);
}

/* Large, untouched blocks are asked onto large pages where the system has
 * them: first writes into a fresh block of tens of megabytes then take a
 * fault per 2 MB instead of one per 4 KB, several times faster. mirl_lib
 * does the same for every array it fills; this is for the one array the
 * package fills itself, the transposed matrix (the library's own function
 * is not exported). */
static void advise_large_pages(void* data, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  const long page = sysconf(_SC_PAGESIZE);
  if (bytes < ((size_t)4 << 20) || page <= 0) return;
  const uintptr_t mask = (uintptr_t)page - 1;
  const uintptr_t begin = ((uintptr_t)data + mask) & ~mask;
  const uintptr_t end = ((uintptr_t)data + bytes) & ~mask;
  if (end > begin) madvise((void*)begin, end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

static double restored(double cell) {
  return (ISNAN(cell) || cell == -2147483648.0) ? NA_REAL : cell;
}

#if defined(__SSE2__)
/* restored() on two cells at once. */
static __m128d restored2(__m128d cells) {
  const __m128d missing = _mm_or_pd(_mm_cmpunord_pd(cells, cells),
                                    _mm_cmpeq_pd(cells, _mm_set1_pd(-2147483648.0)));
  return _mm_or_pd(_mm_and_pd(missing, _mm_set1_pd(NA_REAL)), _mm_andnot_pd(missing, cells));
}
#endif

static void restore_in_place(double* cells, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 2 <= n; i += 2) _mm_storeu_pd(cells + i, restored2(_mm_loadu_pd(cells + i)));
#endif
  for (; i < n; ++i) cells[i] = restored(cells[i]);
}

/* rows x cols cells, row after row, into R's column order, restored. Tiles
 * of kTile x kTile cells keep both sides' lines in cache; within a tile,
 * 2 x 2 squares are turned with SSE2 where the compiler has it. */
static void transpose_restored(const double* from, size_t rows, size_t cols, double* to) {
  enum { kTile = 32 };
  for (size_t r0 = 0; r0 < rows; r0 += kTile) {
    const size_t r1 = r0 + kTile < rows ? r0 + kTile : rows;
    for (size_t c0 = 0; c0 < cols; c0 += kTile) {
      const size_t c1 = c0 + kTile < cols ? c0 + kTile : cols;
      size_t c = c0;
#if defined(__SSE2__)
      const size_t r_pairs = r0 + ((r1 - r0) & ~(size_t)1);
      for (; c + 2 <= c1; c += 2) {
        double* left = to + c * rows;
        double* right = left + rows;
        size_t r = r0;
        for (; r < r_pairs; r += 2) {
          const __m128d upper = restored2(_mm_loadu_pd(from + r * cols + c));
          const __m128d lower = restored2(_mm_loadu_pd(from + (r + 1) * cols + c));
          _mm_storeu_pd(left + r, _mm_unpacklo_pd(upper, lower));
          _mm_storeu_pd(right + r, _mm_unpackhi_pd(upper, lower));
        }
        for (; r < r1; ++r) {
          left[r] = restored(from[r * cols + c]);
          right[r] = restored(from[r * cols + c + 1]);
        }
      }
#endif
      for (; c < c1; ++c) {
        double* column = to + c * rows;
        for (size_t r = r0; r < r1; ++r) column[r] = restored(from[r * cols + c]);
      }
    }
  }
}

static size_t count_of(SEXP value, const char* what) {
  const double n = Rf_asReal(value);
  if (ISNAN(n) || n < 0 || n > (double)R_XLEN_T_MAX) Rf_error("bad %s", what);
  return (size_t)n;
}

/* The result of a read into rows x cols cells: the cells as a vector row
 * after row (by_rows true) or as a rows x cols matrix; the library's code
 * (an integer) when the read failed. read fills its argument, row after row. */
typedef int (*Filler)(void* context, double* cells);

static SEXP read_cells(Filler fill, void* context, size_t rows, size_t cols, int by_rows) {
  const size_t n = rows * cols;
  if (cols != 0 && n / cols != rows) Rf_error("too many cells");
  SEXP result = PROTECT(Rf_allocVector(REALSXP, (R_xlen_t)n));
  double* cells = REAL(result);
  /* mirl_lib writes no cell before it knows the read succeeded, and a
   * zero-length read gives it a valid place to (not) write. */
  double none;
  int code;
  if (by_rows) {
    code = fill(context, n ? cells : &none);
    if (code == 1) restore_in_place(cells, n);
  } else {
    if (rows > INT_MAX || cols > INT_MAX) Rf_error("a matrix cannot have %.0f x %.0f cells",
                                                   (double)rows, (double)cols);
    SEXP dim = PROTECT(Rf_allocVector(INTSXP, 2));
    INTEGER(dim)[0] = (int)rows;
    INTEGER(dim)[1] = (int)cols;
    /* The cells row after row go through memory of the C heap, freed at
     * once: as an R vector they would stay until the next collection and
     * bring that collection sooner. Nothing between malloc and free can
     * raise an R error. */
    double* rowwise = n ? malloc(n * sizeof(double)) : NULL;
    if (n && rowwise == NULL) Rf_error("cannot allocate %.0f cells", (double)n);
    code = fill(context, n ? rowwise : &none);
    if (code == 1) {
      advise_large_pages(cells, n * sizeof(double));
      transpose_restored(rowwise, rows, cols, cells);
    }
    free(rowwise);
    if (code == 1) Rf_setAttrib(result, R_DimSymbol, dim);
    UNPROTECT(1);
  }
  UNPROTECT(1);
  return code == 1 ? result : Rf_ScalarInteger(code);
}

struct GridRead {
  ReadGridFn read;
  const char* name;
};

static int fill_grid(void* context, double* cells) {
  const struct GridRead* g = context;
  return g->read(g->name, R_NaN, cells);
}

struct BlockRead {
  ReadBlockFn read;
  const char* name;
  int row, col, nrows, ncols, margin;
};

static int fill_block(void* context, double* cells) {
  const struct BlockRead* b = context;
  return b->read(b->name, b->row, b->col, b->nrows, b->ncols, b->margin, R_NaN, cells);
}

static const char* name_of(SEXP name) {
  if (!Rf_isString(name) || XLENGTH(name) != 1 || STRING_ELT(name, 0) == NA_STRING)
    Rf_error("the grid name must be one string");
  return Rf_translateChar(STRING_ELT(name, 0));
}

/* readgrid_dbl of grid name, the access window being rows x cols cells. */
SEXP mirl_read_grid(SEXP name, SEXP rows, SEXP cols, SEXP by_rows) {
  struct GridRead g = {(ReadGridFn)library_entry("readgrid_dbl"), name_of(name)};
  return read_cells(fill_grid, &g, count_of(rows, "row count"), count_of(cols, "column count"),
                    Rf_asLogical(by_rows) == TRUE);
}

/* readblock_dbl: the block of nrows x ncols cells at (row, col) widened by
 * margin cells on every side. */
SEXP mirl_read_block(SEXP name, SEXP row, SEXP col, SEXP nrows, SEXP ncols, SEXP margin,
                     SEXP by_rows) {
  struct BlockRead b = {(ReadBlockFn)library_entry("readblock_dbl"), name_of(name),
                        Rf_asInteger(row), Rf_asInteger(col), Rf_asInteger(nrows),
                        Rf_asInteger(ncols), Rf_asInteger(margin)};
  /* Sizes the library refuses (NA among them) get its code, and no
   * allocation here. */
  const double wide_rows = (double)b.nrows + 2.0 * b.margin;
  const double wide_cols = (double)b.ncols + 2.0 * b.margin;
  const int valid = b.nrows > 0 && b.ncols > 0 && b.margin >= 0 && wide_rows <= INT_MAX &&
                    wide_cols <= INT_MAX;
  return read_cells(fill_block, &b, valid ? (size_t)wide_rows : 0, valid ? (size_t)wide_cols : 0,
                    Rf_asLogical(by_rows) == TRUE);
}
