// Memory grids: one object per layer of the grid library that the in-process
// grid server has opened, addressed through the process-wide access window.
// CGSvrMemGrid_Solid (memgrid_solid.h) keeps every cell in memory and writes
// through; CGSvrMemGrid_Hollow (memgrid_hollow.h) keeps only the geometry and
// works row by row against the layer on disk.
//
// Every operation returns an error code of protocol/packet.h. Failures of the
// library (not found, cannot open, cannot read, ...) are recorded through
// SetStatus, which resets the grid: a failed grid has an empty name, zero
// geometry and no cells.
//
// Ownership: held by boost::shared_ptr, by the layer cache and by the request
// being served. m_Log is not owned. Thread safety: none of its own; every
// operation runs under critical section A (server/gio_lock.h).
#ifndef MIRL_SERVER_MEMGRID_H_
#define MIRL_SERVER_MEMGRID_H_

#include <cstdint>
#include <string>
#include <vector>

namespace grd_svr {

class IGSvrLog;
class CGSvrPk_GridOp;
class CGSvrPk_BlockOp;

class CGSvrMemGrid {
 public:
  // Writes "Constructing CGSvrMemGrid" to the debugger output.
  CGSvrMemGrid(const std::string& name, IGSvrLog* log);
  // Writes "Destructing CGSvrMemGrid".
  virtual ~CGSvrMemGrid();
  CGSvrMemGrid(const CGSvrMemGrid&) = delete;
  CGSvrMemGrid& operator=(const CGSvrMemGrid&) = delete;

  // Each name argument may be empty, meaning m_GrdName; a non-empty one is
  // stored in m_GrdName first.

  /// Binds the grid to its layer (Solid: loads it; Hollow: probes it).
  virtual std::int32_t Open(const std::string& name) = 0;
  /// Reads every window row into memory (Hollow: ErrGridTooBig).
  virtual std::int32_t Load(const std::string& name) = 0;
  /// Takes geometry and cells from the packet and saves (Hollow:
  /// ErrGridTooBig). The packet's cell vectors come back empty.
  virtual std::int32_t WriteGrid(CGSvrPk_GridOp& packet) = 0;
  /// Recreates the layer from memory (Hollow: ErrGridTooBig).
  virtual std::int32_t Save(const std::string& name) = 0;
  /// Fills the packet's block cells in place.
  virtual std::int32_t ReadBlock(CGSvrPk_BlockOp& packet) = 0;
  /// Merges the packet's block cells into the layer by its transparency.
  virtual std::int32_t WriteBlock(CGSvrPk_BlockOp& packet) = 0;
  virtual std::vector<std::int32_t>& DataInt() = 0;
  virtual std::vector<float>& DataFloat() = 0;
  /// Empty name, cell type 1, zero geometry; m_Hits and m_Status stay.
  virtual void Reset();

  // Calls Reset unless code is ErrNone, then stores code in m_Status and
  // returns it.
  std::int32_t SetStatus(std::int32_t code);

  IGSvrLog* m_Log;
  std::string m_GrdName;
  /// Lookups counted by the layer cache; nothing else changes it.
  std::int32_t m_Hits;
  std::int32_t m_Status;
  /// 1 integer cells, 2 float cells (0 until opened).
  std::int32_t m_GrdCellType;
  std::int32_t m_GrdCountY;
  std::int32_t m_GrdCountX;
  double m_CoordXLL;
  double m_CoordYLL;
  double m_GrdCellSize;

 protected:
  void ApplyNameRule(const std::string& name);
  // Logs text with stamp and newline, then flushes; nothing without m_Log.
  void LogLine(const std::string& text) const;
};

}  // namespace grd_svr

#endif  // MIRL_SERVER_MEMGRID_H_
