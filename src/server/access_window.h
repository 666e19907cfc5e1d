// The plain records of the grid library binding: the access window through
// which every layer is read and written, and the description of one grid.
//
// Both are values; nothing here is shared or locked. The process-wide window
// lives in GIOState (gio_state.h), guarded by critical section A.
#ifndef MIRL_SERVER_ACCESS_WINDOW_H_
#define MIRL_SERVER_ACCESS_WINDOW_H_

#include <cstdint>

namespace grd_svr {

// Positions in a box of four doubles.
enum BoxIndex { kBoxXMin = 0, kBoxYMin = 1, kBoxXMax = 2, kBoxYMax = 3 };

struct AccessWindow {
  double m_CellSize = 0.0;
  int32_t m_Rows = 0;
  int32_t m_Columns = 0;
  /// X minimum, Y minimum, X maximum, Y maximum; the lower-left corner is
  /// (m_Box[kBoxXMin], m_Box[kBoxYMin]).
  double m_Box[4] = {0.0, 0.0, 0.0, 0.0};

  /// Rows, columns and cell size all positive.
  bool IsValid() const { return m_Rows > 0 && m_Columns > 0 && m_CellSize > 0.0; }

  /// Rows, columns and box to 0; the cell size stays.
  void Clear() {
    m_Rows = 0;
    m_Columns = 0;
    for (double& edge : m_Box) edge = 0.0;
  }
};

// What DescribeGridDbl reports for one grid. Every field starts at 0.
struct GridDescription {
  AccessWindow m_Window;
  int32_t m_DataType = 0;
  int32_t m_ClassCount = 0;
  int32_t m_RecordLength = 0;
  /// Minimum, maximum, mean and standard deviation of the valid cells.
  double m_Stats[4] = {0.0, 0.0, 0.0, 0.0};
};

enum StatIndex { kStatMin = 0, kStatMax = 1, kStatMean = 2, kStatStdDev = 3 };

}  // namespace grd_svr

#endif  // MIRL_SERVER_ACCESS_WINDOW_H_
