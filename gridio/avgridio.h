/* avgridio: a raster grid I/O library on GDAL with the C entry points of the
 * ESRI grid I/O library, loaded at run time by name.
 *
 * A grid (layer) is a directory. Layers this library writes are one
 * single-band GeoTIFF ("layer.tif") inside the directory, with the library's
 * missing marker as its nodata value. Layers it reads are a directory holding
 * "layer.tif", or exactly one other .tif/.tiff file, or an ESRI ArcInfo binary
 * grid (read-only).
 *
 * Cells travel through the library's access window: window row 0 is the
 * northern edge, and a window row holds WindowCols() cells sampled at the
 * window cells' centres (nearest neighbour). Cells outside the layer, and the
 * layer's own nodata cells, read as the missing markers.
 *
 * Durability: every close is atomic, also when the writing process dies at
 * any moment. A created layer is a hidden partial file beside the layer
 * directory until CellLyrClose renames it into place; over an existing layer
 * it is forced to the disk before the rename (and the rename after), so a
 * power loss leaves the old layer or the new one. A brand-new layer is not
 * forced: a power loss may damage a layer created just before it. A layer
 * opened read-write is changed in place behind a rollback journal beside its
 * raster; the close forces the raster to the disk and removes the journal,
 * forcing that too, and the next open of a layer whose writer died plays its
 * journal back (README.md). Writers of one layer take turns across
 * processes, whole-layer creates and deletes included. A layout that could
 * not be changed in place safely (compressed, damaged) is converted once; a
 * block GDAL cannot read is refused, never rewritten as nodata. Blocks a new
 * layer never had stay out of its file and read as nodata. DescribeGridDbl
 * keeps a layer's statistics beside it while the raster is unchanged.
 *
 * Results: >= 0 success (a handle, a count or 0), or one of the negative
 * GIO_ codes below; GridExists returns 1 or 0. No call throws or aborts on
 * bad arguments. Thread safety: every call takes the library's own lock, so
 * calls from several threads are serialised. */
#ifndef AVGRIDIO_H_
#define AVGRIDIO_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define GIO_API __attribute__((visibility("default")))

/* Missing markers: integer 0x80000001; float the most negative finite float. */
#define GIO_MISSING_INT (-2147483647)
#define GIO_MISSING_FLOAT (-3.40282346638528859812e+38F)

/* Cell types. */
#define GIO_CELLINT 1
#define GIO_CELLFLOAT 2

/* Open modes. */
#define GIO_READ 1
#define GIO_READWRITE 2

#define GIO_OK 0
#define GIO_ERR_ARGUMENT (-1)       /* null pointer, bad mode, type, size or box */
#define GIO_ERR_NOT_SETUP (-2)      /* GridIOSetup not called (or GridIOExit since) */
#define GIO_ERR_HANDLE (-3)         /* unknown or closed handle */
#define GIO_ERR_NO_WINDOW (-4)      /* no access window set */
#define GIO_ERR_ROW (-5)            /* row outside the access window */
#define GIO_ERR_NOT_FOUND (-6)      /* no layer at the path */
#define GIO_ERR_OPEN (-7)           /* layer present but cannot be opened */
#define GIO_ERR_READ (-8)           /* GDAL read failed */
#define GIO_ERR_WRITE (-9)          /* GDAL write, flush or commit failed */
#define GIO_ERR_READ_ONLY (-10)     /* write to a read handle or an ESRI grid */
#define GIO_ERR_CREATE (-11)        /* layer file cannot be created */
#define GIO_ERR_EXISTS (-12)        /* destination already holds a layer */
#define GIO_ERR_NOT_DIRECTORY (-13) /* path exists but is not a directory */
#define GIO_ERR_MEMORY (-14)        /* allocation failed */
#define GIO_ERR_NOT_SUPPORTED (-20) /* entry point not implemented */
#define GIO_ERR_INTERNAL (-30)      /* unexpected failure */

/* Registers the GDAL drivers; 1 (set up). Further calls are harmless. */
GIO_API int GridIOSetup(void);
/* Closes (and so commits) every open layer and clears the window; 0. */
GIO_API int GridIOExit(void);
/* Stores GIO_MISSING_FLOAT at *missing; 0. */
GIO_API int GetMissingFloat(float* missing);

/* 1 when path is a directory holding a readable layer, else 0. */
GIO_API int GridExists(const char* path);
/* Opens the layer at path for reading (mode 1) or for writing in place, the
 * update committed by CellLyrClose (mode 2; GeoTIFF layers only, converted
 * once to an uncompressed GeoTIFF under the same name when they cannot be
 * changed in place; one writer of a layer at a time). evaluation is
 * ignored. Fills the cell type (1 integer, 2 float) and the cell size (the
 * west-east cell width). Returns a handle >= 0. */
GIO_API int CellLayerOpen(const char* path, int mode, int evaluation, int32_t* cell_type,
                          double* cell_size);
/* Creates a layer of cell_type (1 or 2) whose grid starts at the box's
 * north-west corner and covers the box in whole cells of cell_size; every
 * cell starts missing, and takes no space until written. mode must be 2;
 * evaluation is ignored. An existing GeoTIFF layer at path stays as it is
 * until the handle is closed and then is replaced; meanwhile no other
 * process writes it (a writer there is waited for). Handle >= 0. */
GIO_API int CellLayerCreate(const char* path, int mode, int evaluation, int32_t cell_type,
                            double cell_size, const double* box);
/* Closes the handle; a written layer is committed (forced to the disk, but
 * for a brand-new layer). 0, or GIO_ERR_WRITE when the layer could not be
 * committed or a row of the handle failed to read or write (the previous
 * state then stays), GIO_ERR_HANDLE for an unknown handle. */
GIO_API int CellLyrClose(int handle);
/* Removes the GeoTIFF layer at path (its raster file first, then its side
 * files, then the directory when it is empty). 0 or a negative code. */
GIO_API int CellLyrDelete(const char* path);
/* Copies the layer at from into a new GeoTIFF layer at to; 0 or negative
 * (GIO_ERR_EXISTS when to already holds a layer). */
GIO_API int GridCopy(const char* from, const char* to);
/* Describes the layer at path on its own grid: west-east cell size, rows and
 * columns (rows_cols[0], rows_cols[1]), box (x min, y min, x max, y max),
 * statistics over the valid cells (minimum, maximum, mean, population
 * standard deviation; all 0 when no cell is valid), data type (1 or 2), class
 * count and record length (both 0). 0 or negative. */
GIO_API int DescribeGridDbl(const char* path, double* cell_size, int32_t* rows_cols, double* box,
                            double* stats, int32_t* data_type, int32_t* class_count,
                            int32_t* record_length);

/* Sets the access window: the lower-left corner of box stays, the width and
 * height are rounded up to whole cells of cell_size (a shortfall below a
 * millionth of a cell is dropped). Stores the box actually set at box_set,
 * which may be box itself. On failure no window remains set. 0 or negative. */
GIO_API int AccessWindowSet(const double* box, double cell_size, double* box_set);
/* Names the CRS of the access window in force (WKT, or what GDAL's
 * OSRSetFromUserInput reads, such as "EPSG:3035"; null or "" for none): layers
 * created until the next AccessWindowSet take it, unless they rewrite a layer
 * on the same cells, which keeps its own. Not one of the ESRI library's entry
 * points: for hosts that make the window from a raster whose CRS they know.
 * 0, GIO_ERR_NO_WINDOW without a window, GIO_ERR_ARGUMENT for a CRS GDAL
 * cannot read (the one named before stays). */
GIO_API int AccessWindowCrsSet(const char* crs);
/* Rows and columns of the window set; 0 when none. */
GIO_API int WindowRows(void);
GIO_API int WindowCols(void);
/* Reads window row row (0 = north) of the layer into cells, WindowCols()
 * cells, converting float layers to integers (truncated toward zero; the
 * float marker, NaN and values out of range read as GIO_MISSING_INT) and
 * integer layers to floats (GIO_MISSING_INT reads as GIO_MISSING_FLOAT). */
GIO_API int GetWindowRowInt(int handle, int row, int32_t* cells);
GIO_API int GetWindowRowFloat(int handle, int row, float* cells);
/* Writes window row row from cells, WindowCols() cells of the layer's cell
 * type (int32_t for 1, float for 2), each into the layer cell under its
 * centre; cells outside the layer are dropped. Needs a writable handle. */
GIO_API int PutWindowRow(int handle, int row, const void* cells);

/* Beyond the grid I/O library's own entry points: removes what killed
 * writers left in the workspace dir and its layer directories (partial
 * files of layers being written, journals of updates in place, played back
 * or dropped when stale), never a live writer's. The number removed, or
 * negative. A grid server calls it when it opens a workspace; every write
 * open and create cleans up after its own layer as well. */
GIO_API int GridIOCleanWorkspace(const char* dir);

/* The remaining entry points exist so that the library binds by name; each
 * returns GIO_ERR_NOT_SUPPORTED whatever it is passed. */
GIO_API int GridRename(void);
GIO_API int GridDelete(void);
GIO_API int GridKill(void);
GIO_API int BndCellRead(void);
GIO_API int CellLyrExists(void);
GIO_API int CellLayerCreateTiled(void);
GIO_API int CellLyrCloseNoVat(void);
GIO_API int CellLyrGetIO(void);
GIO_API int CellLyrSetIO(void);
GIO_API int CellLyrName(void);
GIO_API int CellLyrItem(void);
GIO_API int CellLyrEvalType(void);
GIO_API int CellLyrBlockSize(void);
GIO_API int CellLyrSta(void);
GIO_API int WindowBox(void);
GIO_API int XY2WindowColRow(void);
GIO_API int AccessWindowClear(void);
GIO_API int PrivateAccessWindowSet(void);
GIO_API int PrivateWindowCols(void);
GIO_API int PrivateWindowRows(void);
GIO_API int PrivateWindowBox(void);
GIO_API int XY2PrivateWindowColRow(void);
GIO_API int PrivateAccessWindowClear(void);
GIO_API int GetWindowRow(void);
GIO_API int GetWindowBand(void);
GIO_API int GetWindowBandFloat(void);
GIO_API int GetWindowBandInt(void);
GIO_API int PutWindowBand(void);
GIO_API int GetWindowRectangle(void);
GIO_API int GetWindowRectangleInt(void);
GIO_API int GetWindowRectangleFloat(void);
GIO_API int PutWindowRectangle(void);
GIO_API int GetWindowCell(void);
GIO_API int GetWindowCellFloat(void);
GIO_API int GetWindowCellInt(void);
GIO_API int PutWindowCellFloat(void);
GIO_API int PutWindowCellInt(void);
GIO_API int PutWindowCell(void);
GIO_API int StaGetDbl(void);
GIO_API int StaGetMinmaxDbl(void);

#ifdef __cplusplus
}
#endif

#endif /* AVGRIDIO_H_ */
