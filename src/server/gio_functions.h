// The grid library's C entry points as the binding sees them: their slots in
// the function table, in the order in which they are resolved, and the
// signatures of the sixteen that are ever called (C calling convention, every
// result an int). What each call promises is stated with the calls in gio.h.
#ifndef MIRL_SERVER_GIO_FUNCTIONS_H_
#define MIRL_SERVER_GIO_FUNCTIONS_H_

#include <cstdint>

namespace grd_svr {

enum GioFunction {
  kGridIOSetup,
  kGridExists,
  kGridIOExit,
  kGridCopy,
  kGridRename,
  kGridDelete,
  kGridKill,
  kDescribeGridDbl,
  kBndCellRead,
  kCellLyrExists,
  kCellLayerCreate,
  kCellLayerCreateTiled,
  kCellLayerOpen,
  kCellLyrClose,
  kCellLyrCloseNoVat,
  kCellLyrDelete,
  kCellLyrGetIO,
  kCellLyrSetIO,
  kCellLyrName,
  kCellLyrItem,
  kCellLyrEvalType,
  kCellLyrBlockSize,
  kCellLyrSta,
  kAccessWindowSet,
  kWindowRows,
  kWindowCols,
  kWindowBox,
  kXY2WindowColRow,
  kAccessWindowClear,
  kPrivateAccessWindowSet,
  kPrivateWindowCols,
  kPrivateWindowRows,
  kPrivateWindowBox,
  kXY2PrivateWindowColRow,
  kPrivateAccessWindowClear,
  kGetWindowRow,
  kGetWindowRowFloat,
  kGetWindowRowInt,
  kPutWindowRow,
  kGetWindowBand,
  kGetWindowBandFloat,
  kGetWindowBandInt,
  kPutWindowBand,
  kGetWindowRectangle,
  kGetWindowRectangleInt,
  kGetWindowRectangleFloat,
  kPutWindowRectangle,
  kGetWindowCell,
  kGetWindowCellFloat,
  kGetWindowCellInt,
  kPutWindowCellFloat,
  kPutWindowCellInt,
  kPutWindowCell,
  kStaGetDbl,
  kStaGetMinmaxDbl,
  kGetMissingFloat,
  kGioFunctionCount
};

// The exported name of every slot, indexed by GioFunction.
extern const char* const kGioFunctionNames[kGioFunctionCount];

extern "C" {
typedef int (*GridIOSetupFn)(void);
typedef int (*GridIOExitFn)(void);
typedef int (*GetMissingFloatFn)(float* missing);
typedef int (*GridExistsFn)(const char* path);
typedef int (*CellLayerOpenFn)(const char* path, int mode, int evaluation, int32_t* cell_type,
                               double* cell_size);
typedef int (*CellLayerCreateFn)(const char* path, int mode, int evaluation, int32_t cell_type,
                                 double cell_size, const double* box);
typedef int (*CellLyrCloseFn)(int handle);
typedef int (*CellLyrDeleteFn)(const char* path);
typedef int (*GetWindowRowIntFn)(int handle, int row, int32_t* cells);
typedef int (*GetWindowRowFloatFn)(int handle, int row, float* cells);
typedef int (*PutWindowRowFn)(int handle, int row, const void* cells);
typedef int (*AccessWindowSetFn)(const double* box, double cell_size, double* box_set);
typedef int (*WindowRowsFn)(void);
typedef int (*WindowColsFn)(void);
typedef int (*DescribeGridDblFn)(const char* path, double* cell_size, int32_t* rows_cols,
                                 double* box, double* stats, int32_t* data_type,
                                 int32_t* class_count, int32_t* record_length);
typedef int (*GridCopyFn)(const char* from, const char* to);
typedef int (*GridIOCleanWorkspaceFn)(const char* dir);
}

// The optional entry point that clears a workspace of killed writers' files.
extern const char* const kCleanWorkspaceName;

}  // namespace grd_svr

#endif  // MIRL_SERVER_GIO_FUNCTIONS_H_
