#include "protocol/block_packet.h"
#include "server/gio.h"
#include "server/gio_state.h"
#include "server/memgrid_block.h"
#include "server/memgrid_block_cells.h"
#include "server/memgrid_hollow.h"
#include "server/memgrid_layer.h"
#include "server/memgrid_row_buffers.h"

namespace grd_svr {
namespace {

// The library fills and reads a whole window row: a grid opened under
// another window than the current one would not fit its row buffers.
bool FitsWindow(const CGSvrMemGrid& grid, const AccessWindow& window) {
  return grid.m_GrdCountY == window.m_Rows && grid.m_GrdCountX == window.m_Columns;
}

}  // namespace

std::int32_t CGSvrMemGrid_Hollow::ReadBlock(CGSvrPk_BlockOp& packet) {
  const GIOState& state = GioState();
  if (!state.window.IsValid()) return ErrGridNoAccessWindow;
  const std::int32_t prepared = PrepareBlockRead(packet, m_GrdCellType);
  if (prepared != ErrNone) return prepared;
  try {
    if (CGIO::GridExists(m_GrdName) <= 0) return SetStatus(ErrGridCannotFind);
    if (!FitsWindow(*this, state.window)) return ErrGridBadDimensions;
    LayerHandle layer(CGIO::CellLayerOpen(m_GrdName, 1, 1, &m_GrdCellType, &m_GrdCellSize));
    if (!layer.valid()) return SetStatus(ErrGridCannotOpen);
    RowBuffers buffers(m_GrdCountX);
    const CellMarkers lib{state.missing_int, state.missing_float};
    const BlockClip clip = ClipBlock(packet, m_GrdCountY, m_GrdCountX);
    for (std::int64_t i = clip.row_begin; i < clip.row_end; ++i) {
      if (buffers.Read(layer.get(), m_GrdCellType, static_cast<int>(i)) < 0)
        return SetStatus(ErrGridCannotRead);
      if (m_GrdCellType == 1)
        ReadBlockRowAny(buffers.ints.data(), i, clip, lib, packet);
      else
        ReadBlockRowAny(buffers.floats.data(), i, clip, lib, packet);
    }
    return ErrNone;
  } catch (...) {
    return SetStatus(ErrGridIOException);
  }
}

std::int32_t CGSvrMemGrid_Hollow::WriteBlock(CGSvrPk_BlockOp& packet) {
  const GIOState& state = GioState();
  if (!state.window.IsValid()) return ErrGridNoAccessWindow;
  const std::int32_t checked = CheckBlockWrite(packet);
  if (checked != ErrNone) return checked;
  try {
    if (CGIO::GridExists(m_GrdName) <= 0) return SetStatus(ErrGridCannotFind);
    if (!FitsWindow(*this, state.window)) return ErrGridBadDimensions;
    // The row buffers must be of the layer's own type to be written back,
    // so the type is taken again from this opening.
    LayerHandle layer(CGIO::CellLayerOpen(m_GrdName, 2, 1, &m_GrdCellType, &m_GrdCellSize));
    if (!layer.valid()) return SetStatus(ErrGridCannotOpen);
    RowBuffers buffers(m_GrdCountX);
    const CellMarkers lib{state.missing_int, state.missing_float};
    const BlockClip clip = ClipBlock(packet, m_GrdCountY, m_GrdCountX);
    for (std::int64_t i = clip.row_begin; i < clip.row_end; ++i) {
      const int row = static_cast<int>(i);
      if (buffers.Read(layer.get(), m_GrdCellType, row) < 0) return SetStatus(ErrGridCannotRead);
      if (m_GrdCellType == 1)
        WriteBlockRowAny(buffers.ints.data(), i, clip, lib, lib.int_marker, packet);
      else
        WriteBlockRowAny(buffers.floats.data(), i, clip, lib, lib.float_marker, packet);
      if (buffers.Write(layer.get(), m_GrdCellType, row) < 0) return SetStatus(ErrGridCannotWrite);
    }
    if (layer.Close() < 0) return SetStatus(ErrGridCannotWrite);
    return ErrNone;
  } catch (...) {
    return SetStatus(ErrGridIOException);
  }
}

}  // namespace grd_svr
