// readgrid_int, readgrid_dbl, writegrid_int, writegrid_dbl.
#include <boost/format.hpp>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "exports/grid_api.h"
#include "gridapi/cell_convert.h"
#include "gridapi/grid_call.h"
#include "protocol/grid_packets.h"
#include "logging/log.h"
#include "session/session_exchange.h"

namespace {

using namespace mirl::gridapi;
using grd_svr::CGSvrPk_GridOp;
using mirl::log_returned;

const char* const kRead = "readgrid";
const char* const kWrite = "writegrid";

// The reply's cells into the caller's array. False when the reply's counts
// are negative or its vector is shorter than they say, which a remote peer
// can send: then nothing is written.
template <class Cell>
bool CopyGrid(const CGSvrPk_GridOp& reply, Cell* mtx_grid, std::int64_t& count) {
  count = static_cast<std::int64_t>(reply.m_RowCount) * reply.m_ColCount;
  if (reply.m_RowCount < 0 || reply.m_ColCount < 0) return false;
  const std::size_t n = static_cast<std::size_t>(count);
  if (reply.m_CellType == 1) return CopyOut(reply.m_GrdDataINT, n, mtx_grid);
  return CopyOut(reply.m_GrdDataFLT, n, mtx_grid);
}

template <class Cell>
int ReadGrid(const char* grid_name, Cell missing_value, Cell* mtx_grid) {
  return Guarded(kRead, -660, [&]() -> int {
    mirl::log_entering(kRead);
    if (mtx_grid == nullptr) return log_returned(kRead, -661);
    if (grid_name == nullptr) return log_returned(kRead, -662);
    CGSvrPk_GridOp* request = nullptr;
    Packet packet = NewRequest(request, grd_svr::GridLoad);
    request->m_GridName = grid_name;
    SetMissing(*request, missing_value);
    const std::int32_t cell_type = CellTypeOf(mtx_grid);
    if (mirl::session_log_open())
      mirl::log_line(boost::str(boost::format("  gridread initial parameters"
                                              "\n                           grid_name    : %s"
                                              "\n                           missing_value: %d"
                                              "\n                           cell_type    : %d"
                                              "\n                           mtx_grid     : %x") %
                                grid_name % LoggedMissing(missing_value) % cell_type %
                                Address(mtx_grid)));
    const int result = mirl::session::session_exchange(packet);
    if (result != 1) return log_returned(kRead, result);
    const CGSvrPk_GridOp* reply = ReplyAs<CGSvrPk_GridOp>(packet);
    if (reply == nullptr) return log_returned(kRead, result);
    if (reply->GetErrorCode() == 1) {
      std::int64_t count = 0;
      if (!CopyGrid(*reply, mtx_grid, count)) return log_returned(kRead, -663);
      if (mirl::session_log_open())
        mirl::log_line(boost::str(
            boost::format("  gridread return parameters"
                          "\n                           grid_name: %s"
                          "\n                           missing_value: %d"
                          "\n                           cell_type: %d [dsk: %d]"
                          "\n                           grid_size: %d") %
            grid_name % LoggedMissing(missing_value) % cell_type % reply->m_CellType % count));
    }
    return log_returned(kRead, reply->GetErrorCode());
  });
}

template <class Cell>
int WriteGrid(const char* grid_name, int y_count, int x_count, Cell missing_value,
              const Cell* mtx_grid) {
  return Guarded(kWrite, -680, [&]() -> int {
    mirl::log_entering(kWrite);
    if (grid_name == nullptr) return log_returned(kWrite, -681);
    if (mtx_grid == nullptr) return log_returned(kWrite, -682);
    if (y_count <= 0) return log_returned(kWrite, -683);
    if (x_count <= 0) return log_returned(kWrite, -684);
    CGSvrPk_GridOp* request = nullptr;
    Packet packet = NewRequest(request, grd_svr::GridWrite);
    request->m_GridName = grid_name;
    request->m_RowCount = y_count;
    request->m_ColCount = x_count;
    request->m_CellType = CellTypeOf(mtx_grid);
    SetMissing(*request, missing_value);
    if (mirl::session_log_open())
      mirl::log_line(boost::str(boost::format("  gridwrite initial parameters"
                                              "\n                           grid_name    : %s"
                                              "\n                           y_count      : %d"
                                              "\n                           x_count      : %d"
                                              "\n                           missing_value: %d"
                                              "\n                           cell_type    : %d"
                                              "\n                           mtx_grid     : %x") %
                                grid_name % y_count % x_count % LoggedMissing(missing_value) %
                                request->m_CellType % Address(mtx_grid)));
    const std::size_t n = static_cast<std::size_t>(y_count) * static_cast<std::size_t>(x_count);
    CopyIn(mtx_grid, n, request->m_GrdDataINT, request->m_GrdDataFLT);
    return log_returned(kWrite, mirl::session::session_exchange(packet));
  });
}

}  // namespace

MIRL_API int readgrid_int(const char* grid_name, int missing_value, int* mtx_grid) {
  return ReadGrid<std::int32_t>(grid_name, missing_value, mtx_grid);
}

MIRL_API int readgrid_dbl(const char* grid_name, double missing_value, double* mtx_grid) {
  return ReadGrid<double>(grid_name, missing_value, mtx_grid);
}

MIRL_API int writegrid_int(const char* grid_name, int y_count, int x_count, int missing_value,
                           const int* mtx_grid) {
  return WriteGrid<std::int32_t>(grid_name, y_count, x_count, missing_value, mtx_grid);
}

MIRL_API int writegrid_dbl(const char* grid_name, int y_count, int x_count, double missing_value,
                           const double* mtx_grid) {
  return WriteGrid<double>(grid_name, y_count, x_count, missing_value, mtx_grid);
}
