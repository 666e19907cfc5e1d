// A memory grid that holds no cells: Open only checks that the layer can be
// read (three probe rows), block reads and writes go row by row straight to
// the layer on disk, and whole-grid reads and writes are refused with
// ErrGridTooBig. Used when the memory strategy finds too little memory for
// whole layers (layer_cache.h).
//
// Memory: at most two window rows, during a block operation. Ownership and
// locking as for every memory grid (memgrid.h).
#ifndef MIRL_SERVER_MEMGRID_HOLLOW_H_
#define MIRL_SERVER_MEMGRID_HOLLOW_H_

#include <cstdint>
#include <string>
#include <vector>

#include "server/memgrid.h"

namespace grd_svr {

class CGSvrMemGrid_Hollow : public CGSvrMemGrid {
 public:
  // Writes "Constructing CGSvrMemGrid_Hollow" to the debugger output.
  CGSvrMemGrid_Hollow(const std::string& name, IGSvrLog* log);
  // Writes "Destructing CGSvrMemGrid_Hollow".
  ~CGSvrMemGrid_Hollow() override;

  /// Opens the layer, takes the window's geometry, reads rows 0, last and
  /// middle; keeps no cell.
  std::int32_t Open(const std::string& name) override;
  std::int32_t Load(const std::string& name) override;
  std::int32_t WriteGrid(CGSvrPk_GridOp& packet) override;
  std::int32_t Save(const std::string& name) override;
  std::int32_t ReadBlock(CGSvrPk_BlockOp& packet) override;
  // Opens the layer read-write and rewrites each block row inside the grid;
  // the library commits the rows when the layer is closed.
  std::int32_t WriteBlock(CGSvrPk_BlockOp& packet) override;
  std::vector<std::int32_t>& DataInt() override { return m_GrdDataINT; }
  std::vector<float>& DataFloat() override { return m_GrdDataFLT; }
  void Reset() override;

  /// Always empty.
  std::vector<std::int32_t> m_GrdDataINT;
  std::vector<float> m_GrdDataFLT;
};

}  // namespace grd_svr

#endif  // MIRL_SERVER_MEMGRID_HOLLOW_H_
