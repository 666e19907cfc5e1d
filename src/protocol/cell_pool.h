// Storage of large cell vectors, kept for reuse. A whole grid's cells are
// tens of megabytes, and memory fresh from the system costs a page fault
// per page and its zeroing; on virtual machines that hand unused memory
// back to their host, first touching it costs more than copying the cells.
// Grids, replies and requests of one size follow one another (a layer is
// evicted and the next one loaded, one whole-grid reply after another), so
// the storage of a vector that goes is kept for the next one that comes.
//
// Only blocks of kPooledCellBytes or more are kept, at most kPooledBlocks
// of them and kPooledBytes in all; a larger block is freed as usual. A
// vector takes the smallest kept block that holds its cells and is at most
// twice their size, so a small grid never ties up a large block.
//
// Thread safety: every function may be called from any thread.
#ifndef MIRL_PROTOCOL_CELL_POOL_H_
#define MIRL_PROTOCOL_CELL_POOL_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace grd_svr {

constexpr std::size_t kPooledCellBytes = std::size_t{2} << 20;
constexpr std::size_t kPooledBlocks = 4;
constexpr std::size_t kPooledBytes = std::size_t{160} << 20;

// cells is empty afterwards with room for count cells, in kept storage when
// a block fits, else in new storage (advised onto large pages when large).
// Throws what the vector's allocation throws.
void TakeCells(std::vector<std::int32_t>& cells, std::size_t count);
void TakeCells(std::vector<float>& cells, std::size_t count);

// cells is empty afterwards, without storage; its storage is kept when it is
// large enough and there is room, else freed.
void GiveCells(std::vector<std::int32_t>& cells) noexcept;
void GiveCells(std::vector<float>& cells) noexcept;

// Frees every kept block.
void ReleasePooledCells() noexcept;

// Bytes of storage kept now.
std::size_t PooledCellBytes();

}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_CELL_POOL_H_
