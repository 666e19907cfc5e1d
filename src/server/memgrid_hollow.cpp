#include "server/memgrid_hollow.h"

#include "platform/debug_output.h"
#include "protocol/packet.h"
#include "server/gio.h"
#include "server/gio_state.h"
#include "server/memgrid_layer.h"
#include "server/memgrid_row_buffers.h"

namespace grd_svr {

CGSvrMemGrid_Hollow::CGSvrMemGrid_Hollow(const std::string& name, IGSvrLog* log)
    : CGSvrMemGrid(name, log) {
  mirl::platform::DebugOutput("Constructing CGSvrMemGrid_Hollow");
}

CGSvrMemGrid_Hollow::~CGSvrMemGrid_Hollow() {
  mirl::platform::DebugOutput("Destructing CGSvrMemGrid_Hollow");
}

void CGSvrMemGrid_Hollow::Reset() {
  CGSvrMemGrid::Reset();
  m_GrdDataINT.clear();
  m_GrdDataFLT.clear();
}

std::int32_t CGSvrMemGrid_Hollow::Load(const std::string&) { return ErrGridTooBig; }

std::int32_t CGSvrMemGrid_Hollow::WriteGrid(CGSvrPk_GridOp&) { return ErrGridTooBig; }

std::int32_t CGSvrMemGrid_Hollow::Save(const std::string&) { return ErrGridTooBig; }

std::int32_t CGSvrMemGrid_Hollow::Open(const std::string& name) {
  const GIOState& state = GioState();
  if (!state.window.IsValid()) return ErrGridNoAccessWindow;
  try {
    ApplyNameRule(name);
    if (CGIO::GridExists(m_GrdName) <= 0) return SetStatus(ErrGridCannotFind);
    LayerHandle layer(CGIO::CellLayerOpen(m_GrdName, 1, 1, &m_GrdCellType, &m_GrdCellSize));
    if (!layer.valid()) return SetStatus(ErrGridCannotOpen);
    m_GrdCountY = state.window.m_Rows;
    m_GrdCountX = state.window.m_Columns;
    m_CoordXLL = state.window.m_Box[kBoxXMin];
    m_CoordYLL = state.window.m_Box[kBoxYMin];
    RowBuffers buffers(m_GrdCountX);
    const int probes[3] = {0, m_GrdCountY - 1, (0 + m_GrdCountY - 1) / 2};
    for (int row : probes)
      if (buffers.Read(layer.get(), m_GrdCellType, row) < 0) return SetStatus(ErrGridCannotRead);
    return ErrNone;
  } catch (...) {
    return SetStatus(ErrGridIOException);
  }
}

}  // namespace grd_svr
