#include "protocol/block_packet.h"
#include "server/gio_state.h"
#include "server/memgrid_block.h"
#include "server/memgrid_block_cells.h"
#include "server/memgrid_solid.h"

namespace grd_svr {
namespace {

CellMarkers LibraryMarkers() {
  const GIOState& state = GioState();
  return CellMarkers{state.missing_int, state.missing_float};
}

}  // namespace

std::int32_t CGSvrMemGrid_Solid::CellAsInt(std::int64_t row, std::int64_t col) const {
  const CellMarkers lib = LibraryMarkers();
  if (row < 0 || row >= m_GrdCountY || col < 0 || col >= m_GrdCountX || !HoldsCells())
    return lib.int_marker;
  const std::size_t index = static_cast<std::size_t>(row * m_GrdCountX + col);
  return m_GrdCellType == 1 ? m_GrdDataINT[index] : ToIntCell(m_GrdDataFLT[index], lib);
}

float CGSvrMemGrid_Solid::CellAsFloat(std::int64_t row, std::int64_t col) const {
  const CellMarkers lib = LibraryMarkers();
  if (row < 0 || row >= m_GrdCountY || col < 0 || col >= m_GrdCountX || !HoldsCells())
    return lib.float_marker;
  const std::size_t index = static_cast<std::size_t>(row * m_GrdCountX + col);
  return m_GrdCellType == 1 ? ToFloatCell(m_GrdDataINT[index], lib) : m_GrdDataFLT[index];
}

std::int32_t CGSvrMemGrid_Solid::ReadBlock(CGSvrPk_BlockOp& packet) {
  const std::int32_t prepared = PrepareBlockRead(packet, m_GrdCellType);
  if (prepared != ErrNone) return prepared;
  // Cells outside the grid keep the packet's missing value from the sizing;
  // a grid without its cells has no inside.
  if (!HoldsCells()) return ErrNone;
  try {
    const CellMarkers lib = LibraryMarkers();
    const BlockClip clip = ClipBlock(packet, m_GrdCountY, m_GrdCountX);
    for (std::int64_t i = clip.row_begin; i < clip.row_end; ++i) {
      const std::size_t first = static_cast<std::size_t>(i * m_GrdCountX);
      if (m_GrdCellType == 1)
        ReadBlockRowAny(&m_GrdDataINT[first], i, clip, lib, packet);
      else
        ReadBlockRowAny(&m_GrdDataFLT[first], i, clip, lib, packet);
    }
    return ErrNone;
  } catch (...) {
    return ErrGridMemAlloc;
  }
}

std::int32_t CGSvrMemGrid_Solid::WriteBlock(CGSvrPk_BlockOp& packet) {
  const std::int32_t checked = CheckBlockWrite(packet);
  if (checked != ErrNone) return checked;
  if (!HoldsCells()) return ErrGridBadDimensions;
  try {
    const CellMarkers lib = LibraryMarkers();
    // Packet values are read with the packet's own markers.
    const CellMarkers conv{packet.m_MissingINT, packet.m_MissingFLT};
    const BlockClip clip = ClipBlock(packet, m_GrdCountY, m_GrdCountX);
    for (std::int64_t i = clip.row_begin; i < clip.row_end; ++i) {
      const std::size_t first = static_cast<std::size_t>(i * m_GrdCountX);
      if (m_GrdCellType == 1)
        WriteBlockRowAny(&m_GrdDataINT[first], i, clip, conv, lib.int_marker, packet);
      else
        WriteBlockRowAny(&m_GrdDataFLT[first], i, clip, conv, lib.float_marker, packet);
    }
  } catch (...) {
    return ErrGridMemAlloc;
  }
  return Save(std::string());
}

}  // namespace grd_svr
