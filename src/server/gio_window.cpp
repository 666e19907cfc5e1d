#include "server/gio.h"
#include "server/gio_state.h"

namespace grd_svr {

bool CGIO::ApplyWindow(AccessWindow window) {
  // window is a copy, so applying the process-wide window to itself still
  // works after the clear below.
  AccessWindow& current = GioState().window;
  current.Clear();
  try {
    // The library writes the box it actually set over the one asked for.
    if (AccessWindowSet(window.m_Box, window.m_CellSize, window.m_Box) < 0) return false;
    window.m_Rows = WindowRows();
    window.m_Columns = WindowCols();
    if (!window.IsValid()) return false;
    current = window;
    return true;
  } catch (...) {
    return false;
  }
}

bool CGIO::DescribeGrid(const std::string& path, GridDescription& description) {
  try {
    int32_t rows_cols[2] = {0, 0};
    const int result =
        DescribeGridDbl(path, &description.m_Window.m_CellSize, rows_cols,
                        description.m_Window.m_Box, description.m_Stats, &description.m_DataType,
                        &description.m_ClassCount, &description.m_RecordLength);
    description.m_Window.m_Rows = rows_cols[0];
    description.m_Window.m_Columns = rows_cols[1];
    return result >= 0;
  } catch (...) {
    return false;
  }
}

}  // namespace grd_svr
