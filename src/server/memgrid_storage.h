// Sizing of the large cell vectors of the in-process grid server (a Solid
// grid's cells, the cells of a whole-grid reply). A vector that needs a new
// block takes one from the cell pool (storage of a grid or packet gone
// before, its pages already in memory) or else a new one, advised to be
// backed by large pages before it is first touched.
//
// Thread safety: as for the vector passed in.
#ifndef MIRL_SERVER_MEMGRID_STORAGE_H_
#define MIRL_SERVER_MEMGRID_STORAGE_H_

#include <cstddef>
#include <vector>

#include "protocol/cell_pool.h"

namespace grd_svr {

// Empties cells and gives it room for count cells.
template <class T>
void ReserveCells(std::vector<T>& cells, std::size_t count) {
  TakeCells(cells, count);
}

// cells holds the count cells at from afterwards, copied in one pass (no
// cell is first set to anything else).
template <class T>
void CopyCells(std::vector<T>& cells, const T* from, std::size_t count) {
  ReserveCells(cells, count);
  cells.assign(from, from + count);
}

}  // namespace grd_svr

#endif  // MIRL_SERVER_MEMGRID_STORAGE_H_
