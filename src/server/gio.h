// The binding to the external grid I/O library ("avgridio", else "aigridio",
// with the platform's library suffix), loaded at run time from the directory
// of mirl_lib itself and bound by name.
//
// CGIO owns no state of its own: constructing one loads and sets up the
// library into the process-wide GIOState unless it is loaded already;
// destroying the last live CGIO exits and unloads it. The static operations
// work on GIOState and the bound library; callers hold critical section A
// (CriticalGuardA) around them, as the request handler does for a whole
// request. Every library call goes through a guard that returns kGioNotBound
// (-50) without calling when the function is not bound.
#ifndef MIRL_SERVER_GIO_H_
#define MIRL_SERVER_GIO_H_

#include <cstdint>
#include <string>

#include "server/access_window.h"

namespace grd_svr {

class IGIO {
 public:
  /// True when the grid library is loaded, bound and set up.
  virtual bool IsReady() = 0;
  virtual ~IGIO() {}
};

class CGIO {
 public:
  // Loads the library from the directory that holds mirl_lib.
  CGIO();
  // Loads the library from library_dir (bare names when it is empty).
  explicit CGIO(const std::string& library_dir);
  ~CGIO();
  CGIO(const CGIO&) = delete;
  CGIO& operator=(const CGIO&) = delete;

  /// The library-ready flag.
  bool IsReady() const;

  // Sets the process-wide access window from window's box and cell size as
  // the library snaps them. Clears the process-wide window first, so false
  // (library refusal, no window afterwards, any exception) leaves none valid.
  static bool ApplyWindow(AccessWindow window);

  // Fills description from DescribeGridDbl; true when it returned >= 0.
  static bool DescribeGrid(const std::string& path, GridDescription& description);

  // name when base is empty or name is complete (root name, where the
  // platform has them, and root directory); else base and name joined.
  static std::string ResolvePath(const std::string& base, const std::string& name);

  // True when path exists and is a directory; never throws.
  static bool IsDirectory(const std::string& path);

  // Removes path (plain, non-recursive) unless it is a directory holding a
  // directory, or its entries cannot be examined. A failing removal throws
  // boost::filesystem::filesystem_error. True when no directory remains.
  static bool RemoveLeftoverDirectory(const std::string& path);

  // The guarded library calls. Results are the library's (see
  // gridio/avgridio.h for ours), or kGioNotBound.
  static int GridExists(const std::string& path);
  static int CellLayerOpen(const std::string& path, int mode, int evaluation, int32_t* cell_type,
                           double* cell_size);
  static int CellLayerCreate(const std::string& path, int mode, int evaluation, int32_t cell_type,
                             double cell_size, const double box[4]);
  static int CellLyrClose(int handle);
  static int CellLyrDelete(const std::string& path);
  /// A row buffer holds exactly the access window's column count of cells.
  static int GetWindowRowInt(int handle, int row, int32_t* cells);
  static int GetWindowRowFloat(int handle, int row, float* cells);
  static int PutWindowRow(int handle, int row, const int32_t* cells);
  static int PutWindowRow(int handle, int row, const float* cells);
  static int AccessWindowSet(const double box[4], double cell_size, double box_set[4]);
  static int WindowRows();
  static int WindowCols();
  static int DescribeGridDbl(const std::string& path, double* cell_size, int32_t rows_cols[2],
                             double box[4], double stats[4], int32_t* data_type,
                             int32_t* class_count, int32_t* record_length);
  static int GridCopy(const std::string& from, const std::string& to);
  // Clears the workspace dir of what killed writers left (partial files,
  // journals), when the library offers it (kGioNotBound otherwise): the
  // count removed or negative.
  static int CleanWorkspace(const std::string& dir);

 private:
  void Load(const std::string& library_dir);
  void Unload();
};

}  // namespace grd_svr

#endif  // MIRL_SERVER_GIO_H_
