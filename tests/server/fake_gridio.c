/* A fake grid I/O library for the binding's tests. It exports the 56 entry
 * points (less the one a variant omits) with the binding's signatures and
 * answers with fixed, recognisable values; the Fake* functions let a test
 * steer the window calls and count the set-up and exit calls. */
#include <stdint.h>
#include <string.h>

#ifdef _WIN32
#define FAKE_API __declspec(dllexport)
#else
#define FAKE_API __attribute__((visibility("default")))
#endif

#ifndef FAKE_SETUP_RESULT
#define FAKE_SETUP_RESULT 1
#endif

/* Recognisably not the real library's marker. */
#define FAKE_MISSING_FLOAT (-9999.5f)

static int setup_calls;
static int exit_calls;
static int window_set_result;
static int window_rows = 4;
static int window_cols = 5;

FAKE_API int FakeSetupCalls(void) { return setup_calls; }
FAKE_API int FakeExitCalls(void) { return exit_calls; }
FAKE_API void FakeSteerWindow(int set_result, int rows, int cols) {
  window_set_result = set_result;
  window_rows = rows;
  window_cols = cols;
}

#ifndef FAKE_OMIT_GRID_IO_SETUP
FAKE_API int GridIOSetup(void) {
  ++setup_calls;
  return FAKE_SETUP_RESULT;
}
#endif

FAKE_API int GridIOExit(void) {
  ++exit_calls;
  return 0;
}

FAKE_API int GetMissingFloat(float* missing) {
  *missing = FAKE_MISSING_FLOAT;
  return 0;
}

/* "exists" in the last path component exists. */
FAKE_API int GridExists(const char* path) { return strstr(path, "exists") != NULL; }

/* Grows the box asked for by half a unit on every side. */
FAKE_API int AccessWindowSet(const double* box, double cell_size, double* box_set) {
  (void)cell_size;
  double grown[4] = {box[0] - 0.5, box[1] - 0.5, box[2] + 0.5, box[3] + 0.5};
  memcpy(box_set, grown, sizeof grown);
  return window_set_result;
}
FAKE_API int WindowRows(void) { return window_rows; }
FAKE_API int WindowCols(void) { return window_cols; }

/* Distinct values in every field, so that a swapped field shows. "bad" in
 * the path fails after filling. */
FAKE_API int DescribeGridDbl(const char* path, double* cell_size, int32_t* rows_cols, double* box,
                             double* stats, int32_t* data_type, int32_t* class_count,
                             int32_t* record_length) {
  int i;
  *cell_size = 2.5;
  rows_cols[0] = 7;
  rows_cols[1] = 9;
  for (i = 0; i < 4; ++i) {
    box[i] = 10.0 + i;
    stats[i] = 20.0 + i;
  }
  *data_type = 2;
  *class_count = 3;
  *record_length = 4;
  return strstr(path, "bad") != NULL ? -1 : 0;
}

FAKE_API int CellLayerOpen(const char* path, int mode, int evaluation, int32_t* cell_type,
                           double* cell_size) {
  (void)path;
  (void)evaluation;
  *cell_type = 2;
  *cell_size = 2.5;
  return mode == 1 ? 11 : 12;
}
FAKE_API int CellLayerCreate(const char* path, int mode, int evaluation, int32_t cell_type,
                             double cell_size, const double* box) {
  (void)path;
  (void)mode;
  (void)evaluation;
  (void)cell_size;
  (void)box;
  return 20 + cell_type;
}
FAKE_API int CellLyrClose(int handle) { return handle == 11 ? 0 : -3; }
FAKE_API int CellLyrDelete(const char* path) { return strstr(path, "exists") != NULL ? 0 : -6; }
FAKE_API int GridCopy(const char* from, const char* to) { return strcmp(from, to) == 0 ? -12 : 0; }

#ifndef FAKE_OMIT_GET_WINDOW_ROW_INT
FAKE_API int GetWindowRowInt(int handle, int row, int32_t* cells) {
  cells[0] = handle * 100 + row;
  return 0;
}
#endif
FAKE_API int GetWindowRowFloat(int handle, int row, float* cells) {
  cells[0] = (float)(handle * 100 + row) + 0.5f;
  return 0;
}
FAKE_API int PutWindowRow(int handle, int row, const void* cells) {
  (void)cells;
  return handle == 12 && row >= 0 ? 0 : -9;
}

#define FAKE_UNUSED(name) \
  FAKE_API int name(void) { return -20; }
FAKE_UNUSED(GridRename)
FAKE_UNUSED(GridDelete)
FAKE_UNUSED(GridKill)
FAKE_UNUSED(BndCellRead)
FAKE_UNUSED(CellLyrExists)
FAKE_UNUSED(CellLayerCreateTiled)
FAKE_UNUSED(CellLyrCloseNoVat)
FAKE_UNUSED(CellLyrGetIO)
FAKE_UNUSED(CellLyrSetIO)
FAKE_UNUSED(CellLyrName)
FAKE_UNUSED(CellLyrItem)
FAKE_UNUSED(CellLyrEvalType)
FAKE_UNUSED(CellLyrBlockSize)
FAKE_UNUSED(CellLyrSta)
FAKE_UNUSED(WindowBox)
FAKE_UNUSED(XY2WindowColRow)
FAKE_UNUSED(AccessWindowClear)
FAKE_UNUSED(PrivateAccessWindowSet)
FAKE_UNUSED(PrivateWindowCols)
FAKE_UNUSED(PrivateWindowRows)
FAKE_UNUSED(PrivateWindowBox)
FAKE_UNUSED(XY2PrivateWindowColRow)
FAKE_UNUSED(PrivateAccessWindowClear)
FAKE_UNUSED(GetWindowRow)
FAKE_UNUSED(GetWindowBand)
FAKE_UNUSED(GetWindowBandFloat)
FAKE_UNUSED(GetWindowBandInt)
FAKE_UNUSED(PutWindowBand)
FAKE_UNUSED(GetWindowRectangle)
FAKE_UNUSED(GetWindowRectangleInt)
FAKE_UNUSED(GetWindowRectangleFloat)
FAKE_UNUSED(PutWindowRectangle)
FAKE_UNUSED(GetWindowCell)
FAKE_UNUSED(GetWindowCellFloat)
FAKE_UNUSED(GetWindowCellInt)
FAKE_UNUSED(PutWindowCellFloat)
FAKE_UNUSED(PutWindowCellInt)
FAKE_UNUSED(PutWindowCell)
FAKE_UNUSED(StaGetDbl)
FAKE_UNUSED(StaGetMinmaxDbl)
