#include <boost/format.hpp>
#include <cstdint>
#include <exception>
#include <new>

#include "protocol/cell_pool.h"
#include "protocol/packet.h"
#include "server/gio.h"
#include "server/gio_state.h"
#include "server/memgrid_layer.h"
#include "server/memgrid_solid.h"

namespace grd_svr {

CGSvrMemGrid_Solid::CGSvrMemGrid_Solid(const std::string& name, IGSvrLog* log)
    : CGSvrMemGrid(name, log) {}

CGSvrMemGrid_Solid::CGSvrMemGrid_Solid(const std::string& name, IGSvrLog* log, std::size_t count)
    : CGSvrMemGrid(name, log) {
  if (count > SIZE_MAX / sizeof(std::int32_t)) throw std::bad_alloc();
  m_FillerMemory = mirl::platform::PageBlock(count * sizeof(std::int32_t));
}

CGSvrMemGrid_Solid::~CGSvrMemGrid_Solid() {
  GiveCells(m_GrdDataINT);
  GiveCells(m_GrdDataFLT);
}

void CGSvrMemGrid_Solid::Reset() {
  CGSvrMemGrid::Reset();
  GiveCells(m_GrdDataINT);
  GiveCells(m_GrdDataFLT);
  m_FillerMemory = mirl::platform::PageBlock();
}

bool CGSvrMemGrid_Solid::HoldsCells() const {
  const std::size_t cells = static_cast<std::size_t>(m_GrdCountY < 0 ? 0 : m_GrdCountY) *
                            static_cast<std::size_t>(m_GrdCountX < 0 ? 0 : m_GrdCountX);
  return (m_GrdCellType == 1 ? m_GrdDataINT.size() : m_GrdDataFLT.size()) == cells;
}

std::int32_t CGSvrMemGrid_Solid::Open(const std::string& name) { return Load(name); }

std::int32_t CGSvrMemGrid_Solid::Load(const std::string& name) {
  // Reported when an unexpected exception ends the load.
  int f_step = -1;
  int handle = -1;
  int r = -1;
  int row_min = -1;
  int row_max = -1;
  long long cell_count = -1;

  const GIOState& state = GioState();
  if (!state.window.IsValid()) return ErrGridNoAccessWindow;
  try {
    ApplyNameRule(name);
    if (CGIO::GridExists(m_GrdName) <= 0) return SetStatus(ErrGridCannotFind);
    f_step = 1;
    handle = CGIO::CellLayerOpen(m_GrdName, 1, 1, &m_GrdCellType, &m_GrdCellSize);
    f_step = 2;
    LayerHandle layer(handle);
    if (!layer.valid()) return SetStatus(ErrGridCannotOpen);
    LogLine(boost::str(boost::format("Successfully opened layer: %s with handle %d") % m_GrdName %
                       handle));

    m_GrdCountY = state.window.m_Rows;
    m_GrdCountX = state.window.m_Columns;
    m_CoordXLL = state.window.m_Box[kBoxXMin];
    m_CoordYLL = state.window.m_Box[kBoxYMin];
    row_min = 0;
    row_max = m_GrdCountY - 1;
    cell_count = static_cast<long long>(row_max - row_min + 1) * m_GrdCountX;
    f_step = 3;

    const bool integer = m_GrdCellType == 1;
    // Room for every cell now; each row is sized (zeroed) just before it is
    // read, so that its cells are set and then read over while they are in
    // the cache, instead of the whole grid being filled in a pass of its own
    // (a failed read discards the grid, so no cell is left unread).
    try {
      if (integer) {
        m_GrdDataFLT.clear();
        TakeCells(m_GrdDataINT, static_cast<std::size_t>(cell_count));
      } else {
        m_GrdDataINT.clear();
        TakeCells(m_GrdDataFLT, static_cast<std::size_t>(cell_count));
      }
    } catch (const std::exception& e) {
      LogLine(
          boost::str(boost::format("Exception thrown while allocating memory for layer: %s [%s]") %
                     m_GrdName % e.what()));
      return SetStatus(ErrGridMemAlloc);
    }

    f_step = 4;
    for (r = row_min; r <= row_max; ++r) {
      const std::size_t first = static_cast<std::size_t>(r - row_min) * m_GrdCountX;
      const std::size_t end = first + static_cast<std::size_t>(m_GrdCountX);
      if (integer) {
        m_GrdDataINT.resize(end);
        f_step = 5;
        if (CGIO::GetWindowRowInt(handle, r, &m_GrdDataINT[first]) < 0) {
          f_step = 6;
          return SetStatus(ErrGridCannotRead);
        }
        f_step = 7;
      } else {
        m_GrdDataFLT.resize(end);
        f_step = 8;
        if (CGIO::GetWindowRowFloat(handle, r, &m_GrdDataFLT[first]) < 0) {
          f_step = 9;
          return SetStatus(ErrGridCannotRead);
        }
        f_step = 10;
      }
    }
    return ErrNone;
  } catch (...) {
    LogLine(boost::str(boost::format("Exception thrown while opening layer: %s with handle %d") %
                       m_GrdName % handle));
    LogLine(boost::str(
        boost::format("Status[f_step: %d, r: %d, row_min: %d, row_max: %d, cell_count: %d, "
                      "m_GrdCountY: %d, m_GrdCountX: %d, m_CoordXLL: %f, m_CoordYLL: %f, "
                      "m_GrdCellType: %d, m_GrdDataINT.size(): %d, m_GrdDataFLT.size(): %d]") %
        f_step % r % row_min % row_max % cell_count % m_GrdCountY % m_GrdCountX % m_CoordXLL %
        m_CoordYLL % m_GrdCellType % m_GrdDataINT.size() % m_GrdDataFLT.size()));
    return SetStatus(ErrGridIOException);
  }
}

}  // namespace grd_svr
