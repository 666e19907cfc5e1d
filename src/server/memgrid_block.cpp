#include "server/memgrid_block.h"

#include <algorithm>
#include <exception>
#include <limits>

#include "protocol/block_packet.h"

namespace grd_svr {
namespace {

constexpr std::int64_t kMaxBlockCells = std::numeric_limits<std::int32_t>::max();

void ClipRange(std::int64_t start, std::int64_t count, std::int64_t limit, std::int64_t* begin,
               std::int64_t* end) {
  *begin = std::max<std::int64_t>(start, 0);
  *end = std::min<std::int64_t>(start + std::max<std::int64_t>(count, 0), limit);
  if (*end < *begin) *end = *begin;
}

std::int64_t BlockCells(const CGSvrPk_BlockOp& packet) {
  return static_cast<std::int64_t>(packet.m_RowCount) * packet.m_ColCount;
}

}  // namespace

BlockClip ClipBlock(const CGSvrPk_BlockOp& packet, std::int32_t grid_rows, std::int32_t grid_cols) {
  BlockClip clip;
  ClipRange(packet.m_BlkStartRow, packet.m_RowCount, grid_rows, &clip.row_begin, &clip.row_end);
  ClipRange(packet.m_BlkStartCol, packet.m_ColCount, grid_cols, &clip.col_begin, &clip.col_end);
  // A block that misses the grid in one direction misses it altogether; the
  // loops then never form an index outside the block.
  if (clip.row_begin == clip.row_end || clip.col_begin == clip.col_end) {
    clip.row_end = clip.row_begin;
    clip.col_end = clip.col_begin;
  }
  return clip;
}

std::int64_t BlockIndex(const CGSvrPk_BlockOp& packet, std::int64_t i, std::int64_t j) {
  return (j - packet.m_BlkStartCol) + (i - packet.m_BlkStartRow) * packet.m_ColCount;
}

std::int32_t CheckBlockShape(const CGSvrPk_BlockOp& packet) {
  if (packet.m_RowCount < 0 || packet.m_ColCount < 0) return ErrGridBadDimensions;
  if (BlockCells(packet) > kMaxBlockCells) return ErrGridTooBig;
  return ErrNone;
}

std::int32_t CheckBlockWrite(const CGSvrPk_BlockOp& packet) {
  const std::int32_t shape = CheckBlockShape(packet);
  if (shape != ErrNone) return shape;
  const std::size_t held =
      packet.m_CellType == 1 ? packet.m_BlkDataINT.size() : packet.m_BlkDataFLT.size();
  if (held != static_cast<std::size_t>(BlockCells(packet))) return ErrGridBadDimensions;
  return ErrNone;
}

std::int32_t PrepareBlockRead(CGSvrPk_BlockOp& packet, std::int32_t grid_cell_type) {
  const std::int32_t shape = CheckBlockShape(packet);
  if (shape != ErrNone) return shape;
  if (packet.m_CellType != 1 && packet.m_CellType != 2) packet.m_CellType = grid_cell_type;
  if (packet.m_CellType != 1 && packet.m_CellType != 2) return ErrGridBadDimensions;
  const std::size_t cells = static_cast<std::size_t>(BlockCells(packet));
  try {
    if (packet.m_CellType == 1) {
      packet.m_BlkDataFLT.clear();
      packet.m_BlkDataINT.assign(cells, packet.m_MissingINT);
    } else {
      packet.m_BlkDataINT.clear();
      packet.m_BlkDataFLT.assign(cells, packet.m_MissingFLT);
    }
  } catch (const std::exception&) {
    return ErrGridMemAlloc;
  }
  return ErrNone;
}

}  // namespace grd_svr
