// A memory grid that holds every cell of its layer: Open reads all window
// rows into the vector of the layer's cell type, block reads are served from
// memory, and every WriteGrid and WriteBlock rewrites the whole layer (write
// through), so memory and disk agree after each successful write.
//
// Memory: 4 bytes a cell, in m_GrdDataINT (cell type 1) or m_GrdDataFLT
// (otherwise); the other vector stays empty. Ownership and locking as for
// every memory grid (memgrid.h).
#ifndef MIRL_SERVER_MEMGRID_SOLID_H_
#define MIRL_SERVER_MEMGRID_SOLID_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/page_block.h"
#include "server/memgrid.h"

namespace grd_svr {

class CGSvrMemGrid_Solid : public CGSvrMemGrid {
 public:
  CGSvrMemGrid_Solid(const std::string& name, IGSvrLog* log);
  // A filler grid of the layer cache: the memory of count integer cells,
  // cell type 0 and zero geometry, so it stands for memory only and never
  // for a layer. Its cells are never read, so they are held as zero pages
  // that are not touched (FillerBytes), not in m_GrdDataINT: making the
  // fillers then costs no time and no resident memory, and a layer that
  // evicts one gets fresh pages. Throws std::bad_alloc.
  CGSvrMemGrid_Solid(const std::string& name, IGSvrLog* log, std::size_t count);

  /// Same as Load.
  std::int32_t Open(const std::string& name) override;
  std::int32_t Load(const std::string& name) override;
  // Checks the packet's geometry (-1 standing for the window's) and cell
  // count against the access window before anything changes, so a refused
  // packet leaves the grid as it was; then takes over the packet's cells by
  // swapping, maps its missing value to the library's marker and saves.
  std::int32_t WriteGrid(CGSvrPk_GridOp& packet) override;
  // Writes the layer anew from memory, over the old one, which stays whole
  // until the new one is complete and then is replaced in one step (a
  // failed or killed save leaves it as it was). Geometry still -1
  // takes the window's; it must then equal the window's exactly.
  std::int32_t Save(const std::string& name) override;
  std::int32_t ReadBlock(CGSvrPk_BlockOp& packet) override;
  std::int32_t WriteBlock(CGSvrPk_BlockOp& packet) override;
  std::vector<std::int32_t>& DataInt() override { return m_GrdDataINT; }
  std::vector<float>& DataFloat() override { return m_GrdDataFLT; }
  void Reset() override;
  // The cells' storage goes back to the cell pool.
  ~CGSvrMemGrid_Solid() override;

  // The bytes a filler holds (0 for a layer's grid), every one zero.
  std::size_t FillerBytes() const { return m_FillerMemory.size(); }
  const void* FillerMemory() const { return m_FillerMemory.data(); }

  // The cell at row, col converted by the library's markers; outside the
  // grid the library's missing marker.
  std::int32_t CellAsInt(std::int64_t row, std::int64_t col) const;
  float CellAsFloat(std::int64_t row, std::int64_t col) const;

  std::vector<std::int32_t> m_GrdDataINT;
  std::vector<float> m_GrdDataFLT;

 private:
  // The vector of the cell type holds exactly rows x columns cells.
  bool HoldsCells() const;

  mirl::platform::PageBlock m_FillerMemory;
};

}  // namespace grd_svr

#endif  // MIRL_SERVER_MEMGRID_SOLID_H_
