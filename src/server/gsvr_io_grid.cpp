#include <algorithm>
#include <cstddef>
#include <vector>

#include "protocol/block_packet.h"
#include "protocol/cell_pool.h"
#include "protocol/checked_packet_cast.h"
#include "protocol/grid_packets.h"
#include "server/gio_state.h"
#include "server/gsvr_io.h"
#include "server/layer_cache.h"
#include "server/memgrid_cell_kernels.h"

namespace grd_svr {
namespace {

bool HollowMode() { return CacheState().memory_mode == kMemoryModeHollow; }

// The first count cells of from into to, the library's marker becoming the
// caller's missing value. False when from holds fewer cells (a grid that
// keeps none, like a Hollow one).
template <class T>
bool CopyReplyCells(const std::vector<T>& from, std::size_t count, T marker, T missing,
                    std::vector<T>& to) {
  if (from.size() < count) return false;
  TakeCells(to, count);
  to.assign(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(count));
  ReplaceMarker(to.data(), count, marker, missing);
  return true;
}

std::int32_t FillGridLoad(CGSvrMemGrid& grid, CGSvrPk_GridOp& packet) {
  packet.m_GridName = grid.m_GrdName;
  packet.m_RowCount = grid.m_GrdCountY;
  packet.m_ColCount = grid.m_GrdCountX;
  packet.m_YLowerLeft = grid.m_CoordYLL;
  packet.m_XLowerLeft = grid.m_CoordXLL;
  packet.m_CellSize = grid.m_GrdCellSize;
  packet.m_CellType = grid.m_GrdCellType;
  const std::size_t count = static_cast<std::size_t>(std::max(grid.m_GrdCountY, 0)) *
                            static_cast<std::size_t>(std::max(grid.m_GrdCountX, 0));
  const GIOState& state = GioState();
  bool copied;
  if (grid.m_GrdCellType == 1) {
    packet.m_GrdDataFLT.clear();
    copied = CopyReplyCells(grid.DataInt(), count, state.missing_int, packet.m_MissingINT,
                            packet.m_GrdDataINT);
  } else {
    packet.m_GrdDataINT.clear();
    copied = CopyReplyCells(grid.DataFloat(), count, state.missing_float, packet.m_MissingFLT,
                            packet.m_GrdDataFLT);
  }
  return copied ? ErrNone : ErrGridTooBig;
}

}  // namespace

CGSvrIO::Packet CGSvrIO::OnGridLoad(const Packet& request, std::string& error_text) {
  if (HollowMode()) return Reply(request, ErrGridTooBig);
  CGSvrPk_GridOp* packet = checked_packet_cast<CGSvrPk_GridOp>(request, atRequest, error_text);
  if (packet == nullptr) return Reply(request, ErrPackMalformed);
  std::int32_t status = ErrUnknown;
  boost::shared_ptr<CGSvrMemGrid> grid =
      GetLayer(packet->m_GridName, status, error_text, true, true);
  if (status == ErrNone) status = FillGridLoad(*grid, *packet);
  return Reply(request, status);
}

CGSvrIO::Packet CGSvrIO::OnGridWrite(const Packet& request, std::string& error_text) {
  if (HollowMode()) return Reply(request, ErrGridTooBig);
  CGSvrPk_GridOp* packet = checked_packet_cast<CGSvrPk_GridOp>(request, atRequest, error_text);
  if (packet == nullptr) return Reply(request, ErrPackMalformed);
  const std::string key = LayerKey(packet->m_GridName);
  std::int32_t status = ErrUnknown;
  boost::shared_ptr<CGSvrMemGrid> grid =
      GetLayer(packet->m_GridName, status, error_text, false, true);
  if (status != ErrNone) return Reply(request, status);
  status = grid->WriteGrid(*packet);
  if (status == ErrNone) {
    packet->m_GridName = grid->m_GrdName;
    packet->m_YLowerLeft = grid->m_CoordYLL;
    packet->m_XLowerLeft = grid->m_CoordXLL;
    packet->m_CellSize = grid->m_GrdCellSize;
  } else {
    // The grid may now hold what never reached the disk (or, new, nothing
    // at all): the next request must read the layer again.
    EraseLayer(key);
  }
  return Reply(request, status);
}

CGSvrIO::Packet CGSvrIO::OnBlockLoad(const Packet& request, std::string& error_text) {
  CGSvrPk_BlockOp* packet = checked_packet_cast<CGSvrPk_BlockOp>(request, atRequest, error_text);
  if (packet == nullptr) return Reply(request, ErrPackMalformed);
  const std::string key = LayerKey(packet->m_GridName);
  std::int32_t status = ErrUnknown;
  boost::shared_ptr<CGSvrMemGrid> grid =
      GetLayer(packet->m_GridName, status, error_text, true, true);
  if (status != ErrNone) return Reply(request, status);
  status = grid->ReadBlock(*packet);
  packet->m_GridName = grid->m_GrdName;
  packet->m_CellSize = grid->m_GrdCellSize;
  // A failure the grid recorded has reset it; a reset grid must not stay
  // cached in place of its layer.
  if (status != ErrNone && grid->m_GrdName.empty()) EraseLayer(key);
  return Reply(request, status);
}

CGSvrIO::Packet CGSvrIO::OnBlockWrite(const Packet& request, std::string& error_text) {
  CGSvrPk_BlockOp* packet = checked_packet_cast<CGSvrPk_BlockOp>(request, atRequest, error_text);
  if (packet == nullptr) return Reply(request, ErrPackMalformed);
  const std::string key = LayerKey(packet->m_GridName);
  std::int32_t status = ErrUnknown;
  boost::shared_ptr<CGSvrMemGrid> grid =
      GetLayer(packet->m_GridName, status, error_text, true, true);
  if (status != ErrNone) return Reply(request, status);
  status = grid->WriteBlock(*packet);
  packet->m_BlkDataINT.clear();
  packet->m_BlkDataFLT.clear();
  packet->m_GridName = grid->m_GrdName;
  packet->m_CellSize = grid->m_GrdCellSize;
  // After a failed write memory and disk may differ; read the layer anew.
  if (status != ErrNone) EraseLayer(key);
  return Reply(request, status);
}

}  // namespace grd_svr
