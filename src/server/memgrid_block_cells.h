// The cell loops of block reads and writes, shared by both kinds of memory
// grid: one grid row (memory or a row buffer) against the matching row of a
// block packet's vector, over the columns that lie inside the grid.
//
// Internal to the memory grids; no state.
#ifndef MIRL_SERVER_MEMGRID_BLOCK_CELLS_H_
#define MIRL_SERVER_MEMGRID_BLOCK_CELLS_H_

#include <cstdint>
#include <vector>

#include "protocol/block_packet.h"
#include "server/memgrid_block.h"
#include "server/memgrid_cells.h"

namespace grd_svr {

// Copies grid row i (whose cells start at grid_row) into the packet's
// vector of type B, converting by lib (the library's markers) and giving
// cells that are the library's marker of B the packet's missing value.
template <class G, class B>
void ReadBlockRow(const G* grid_row, std::int64_t i, const BlockClip& clip, const CellMarkers& lib,
                  B lib_missing, B packet_missing, CGSvrPk_BlockOp& packet, std::vector<B>& block) {
  B* out = block.data() + BlockIndex(packet, i, clip.col_begin);
  for (std::int64_t j = clip.col_begin; j < clip.col_end; ++j) {
    const B v = Convert<B>(grid_row[j], lib);
    *out++ = v == lib_missing ? packet_missing : v;
  }
}

// Merges the packet's row for grid row i (values of type B, converted to the
// grid's type G by conv) into grid_row by the packet's transparency; b is the
// packet's missing value of type G and m the library's marker of type G.
template <class G, class B>
void WriteBlockRow(G* grid_row, std::int64_t i, const BlockClip& clip, const CellMarkers& conv, G b,
                   G m, const CGSvrPk_BlockOp& packet, const std::vector<B>& block) {
  const B* in = block.data() + BlockIndex(packet, i, clip.col_begin);
  for (std::int64_t j = clip.col_begin; j < clip.col_end; ++j)
    grid_row[j] = MergeCell<G>(grid_row[j], Convert<G>(*in++, conv), b, m, packet.m_Transparency);
}

// Dispatches the block's type for one grid row of type G: integer packets
// (type 1) use m_BlkDataINT, all others m_BlkDataFLT.
template <class G>
void ReadBlockRowAny(const G* grid_row, std::int64_t i, const BlockClip& clip,
                     const CellMarkers& lib, CGSvrPk_BlockOp& packet) {
  if (packet.m_CellType == 1)
    ReadBlockRow<G, std::int32_t>(grid_row, i, clip, lib, lib.int_marker, packet.m_MissingINT,
                                  packet, packet.m_BlkDataINT);
  else
    ReadBlockRow<G, float>(grid_row, i, clip, lib, lib.float_marker, packet.m_MissingFLT, packet,
                           packet.m_BlkDataFLT);
}

inline void WriteBlockRowAny(std::int32_t* grid_row, std::int64_t i, const BlockClip& clip,
                             const CellMarkers& conv, std::int32_t lib_marker,
                             const CGSvrPk_BlockOp& packet) {
  if (packet.m_CellType == 1)
    WriteBlockRow(grid_row, i, clip, conv, packet.m_MissingINT, lib_marker, packet,
                  packet.m_BlkDataINT);
  else
    WriteBlockRow(grid_row, i, clip, conv, packet.m_MissingINT, lib_marker, packet,
                  packet.m_BlkDataFLT);
}

inline void WriteBlockRowAny(float* grid_row, std::int64_t i, const BlockClip& clip,
                             const CellMarkers& conv, float lib_marker,
                             const CGSvrPk_BlockOp& packet) {
  if (packet.m_CellType == 1)
    WriteBlockRow(grid_row, i, clip, conv, packet.m_MissingFLT, lib_marker, packet,
                  packet.m_BlkDataINT);
  else
    WriteBlockRow(grid_row, i, clip, conv, packet.m_MissingFLT, lib_marker, packet,
                  packet.m_BlkDataFLT);
}

}  // namespace grd_svr

#endif  // MIRL_SERVER_MEMGRID_BLOCK_CELLS_H_
