#include <utility>

#include "protocol/grid_packets.h"
#include "server/gio.h"
#include "server/gio_state.h"
#include "server/memgrid_layer.h"
#include "server/memgrid_solid.h"

namespace grd_svr {
namespace {

bool SameAsWindow(const AccessWindow& window, double cell_size, std::int32_t rows,
                  std::int32_t cols, double x_ll, double y_ll) {
  return cell_size == window.m_CellSize && rows == window.m_Rows && cols == window.m_Columns &&
         x_ll == window.m_Box[kBoxXMin] && y_ll == window.m_Box[kBoxYMin];
}

template <class T>
T OrWindow(T value, T unset, T window_value) {
  return value == unset ? window_value : value;
}

template <class T>
void ReplaceMissing(std::vector<T>& cells, T from, T to) {
  for (T& cell : cells)
    if (cell == from) cell = to;
}

}  // namespace

std::int32_t CGSvrMemGrid_Solid::Save(const std::string& name) {
  const AccessWindow& window = GioState().window;
  if (!window.IsValid()) return ErrGridNoAccessWindow;
  m_GrdCellSize = OrWindow(m_GrdCellSize, -1.0, window.m_CellSize);
  m_GrdCountY = OrWindow(m_GrdCountY, -1, window.m_Rows);
  m_GrdCountX = OrWindow(m_GrdCountX, -1, window.m_Columns);
  m_CoordXLL = OrWindow(m_CoordXLL, -1.0, window.m_Box[kBoxXMin]);
  m_CoordYLL = OrWindow(m_CoordYLL, -1.0, window.m_Box[kBoxYMin]);
  if (!SameAsWindow(window, m_GrdCellSize, m_GrdCountY, m_GrdCountX, m_CoordXLL, m_CoordYLL))
    return ErrGridBadDimensions;
  // Rows are written straight from the vector: a short one would be read
  // past its end.
  if (!HoldsCells()) return ErrGridBadDimensions;
  if (m_GrdCellType != 1 && m_GrdCellType != 2) return ErrGridCannotCreate;
  ApplyNameRule(name);
  try {
    // The new layer is written beside the old one, which it replaces only
    // when it is whole: a save that fails or is killed leaves the old grid.
    // Only a directory that holds no grid is cleared first.
    if (CGIO::GridExists(m_GrdName) <= 0 && CGIO::IsDirectory(m_GrdName))
      CGIO::RemoveLeftoverDirectory(m_GrdName);
    LayerHandle layer(
        CGIO::CellLayerCreate(m_GrdName, 2, 1, m_GrdCellType, m_GrdCellSize, window.m_Box));
    if (!layer.valid()) return ErrGridCannotCreate;
    const bool integer = m_GrdCellType == 1;
    for (int i = 0; i < m_GrdCountY; ++i) {
      const std::size_t first = static_cast<std::size_t>(i) * m_GrdCountX;
      const int written = integer ? CGIO::PutWindowRow(layer.get(), i, &m_GrdDataINT[first])
                                  : CGIO::PutWindowRow(layer.get(), i, &m_GrdDataFLT[first]);
      if (written < 0) return ErrGridCannotWrite;
    }
    // The library commits a written layer when it is closed.
    if (layer.Close() < 0) return ErrGridCannotWrite;
    return ErrNone;
  } catch (...) {
    return ErrGridIOException;
  }
}

std::int32_t CGSvrMemGrid_Solid::WriteGrid(CGSvrPk_GridOp& packet) {
  const AccessWindow& window = GioState().window;
  if (!window.IsValid()) return ErrGridNoAccessWindow;
  const double cell_size = OrWindow(packet.m_CellSize, -1.0, window.m_CellSize);
  const std::int32_t rows = OrWindow(packet.m_RowCount, -1, window.m_Rows);
  const std::int32_t cols = OrWindow(packet.m_ColCount, -1, window.m_Columns);
  const double x_ll = OrWindow(packet.m_XLowerLeft, -1.0, window.m_Box[kBoxXMin]);
  const double y_ll = OrWindow(packet.m_YLowerLeft, -1.0, window.m_Box[kBoxYMin]);
  if (!SameAsWindow(window, cell_size, rows, cols, x_ll, y_ll)) return ErrGridBadDimensions;
  if (packet.m_CellType != 1 && packet.m_CellType != 2) return ErrGridCannotCreate;
  const bool integer = packet.m_CellType == 1;
  const std::size_t cells = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
  if ((integer ? packet.m_GrdDataINT.size() : packet.m_GrdDataFLT.size()) != cells)
    return ErrGridBadDimensions;

  m_GrdCellType = packet.m_CellType;
  m_GrdCellSize = packet.m_CellSize;
  m_GrdCountY = packet.m_RowCount;
  m_GrdCountX = packet.m_ColCount;
  m_CoordXLL = packet.m_XLowerLeft;
  m_CoordYLL = packet.m_YLowerLeft;
  m_GrdDataINT.clear();
  m_GrdDataFLT.clear();
  // A filler written to by name becomes a layer's grid: its reserve goes.
  m_FillerMemory = mirl::platform::PageBlock();
  const GIOState& state = GioState();
  if (integer) {
    m_GrdDataINT.swap(packet.m_GrdDataINT);
    ReplaceMissing(m_GrdDataINT, packet.m_MissingINT, state.missing_int);
  } else {
    m_GrdDataFLT.swap(packet.m_GrdDataFLT);
    ReplaceMissing(m_GrdDataFLT, packet.m_MissingFLT, state.missing_float);
  }
  packet.m_GrdDataINT.clear();
  packet.m_GrdDataFLT.clear();
  return Save(std::string());
}

}  // namespace grd_svr
