// The geometry of one block request against a memory grid: checking the
// packet's counts and cell vector before any cell is touched, and the part
// of the block that lies inside the grid. A block may start at a negative
// row or column and reach past the grid; only its inside cells are read from
// or written to the grid.
//
// Pure functions over the packet; thread safety as for packets.
#ifndef MIRL_SERVER_MEMGRID_BLOCK_H_
#define MIRL_SERVER_MEMGRID_BLOCK_H_

#include <cstdint>

namespace grd_svr {

class CGSvrPk_BlockOp;

// The inside part: grid rows [row_begin, row_end) and columns [col_begin,
// col_end); both ranges are empty (begin == end) when the block misses the
// grid.
struct BlockClip {
  std::int64_t row_begin;
  std::int64_t row_end;
  std::int64_t col_begin;
  std::int64_t col_end;
};

BlockClip ClipBlock(const CGSvrPk_BlockOp& packet, std::int32_t grid_rows, std::int32_t grid_cols);

// Index in the packet's cell vector of grid row i, column j.
std::int64_t BlockIndex(const CGSvrPk_BlockOp& packet, std::int64_t i, std::int64_t j);

// ErrNone, ErrGridBadDimensions for a negative row or column count, or
// ErrGridTooBig for a block of more than 2^31 - 1 cells (a packet's cell
// vector cannot carry more).
std::int32_t CheckBlockShape(const CGSvrPk_BlockOp& packet);

// CheckBlockShape, then ErrGridBadDimensions unless the vector of the
// packet's cell type (integer for 1, float otherwise) holds exactly rows x
// columns cells, so that a short vector from a remote peer is never read
// past its end.
std::int32_t CheckBlockWrite(const CGSvrPk_BlockOp& packet);

// The first two steps of every block read: a cell type other than 1 or 2
// becomes grid_cell_type; the vector of the type is sized to rows x columns
// cells of the packet's missing value and the other emptied. ErrNone,
// ErrGridBadDimensions (bad shape, or no usable cell type even then),
// ErrGridTooBig, or ErrGridMemAlloc when the cells cannot be allocated.
std::int32_t PrepareBlockRead(CGSvrPk_BlockOp& packet, std::int32_t grid_cell_type);

}  // namespace grd_svr

#endif  // MIRL_SERVER_MEMGRID_BLOCK_H_
