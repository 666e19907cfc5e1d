// readblock_int, readblock_dbl, writeblock_int, writeblock_dbl.
#include <boost/format.hpp>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "exports/grid_api.h"
#include "gridapi/cell_convert.h"
#include "gridapi/grid_call.h"
#include "protocol/block_packet.h"
#include "logging/log.h"
#include "session/session_exchange.h"

namespace {

using namespace mirl::gridapi;
using grd_svr::CGSvrPk_BlockOp;
using mirl::log_returned;

const char* const kRead = "readblock";
const char* const kWrite = "writeblock";

// A count widened by the margin on both sides, when it still fits a packet.
bool Widen(int count, int margin, std::int32_t& widened) {
  const std::int64_t wide =
      static_cast<std::int64_t>(count) + 2 * static_cast<std::int64_t>(margin);
  if (wide > std::numeric_limits<std::int32_t>::max()) return false;
  widened = static_cast<std::int32_t>(wide);
  return true;
}

template <class Cell>
int ReadBlock(const char* grid_name, int y_start, int x_start, int y_count, int x_count,
              int buffer_size, Cell missing_value, Cell* mtx_block) {
  return Guarded(kRead, -700, [&]() -> int {
    mirl::log_entering(kRead);
    if (grid_name == nullptr) return log_returned(kRead, -701);
    if (y_start <= 0) return log_returned(kRead, -702);
    if (x_start <= 0) return log_returned(kRead, -703);
    if (y_count <= 0) return log_returned(kRead, -704);
    if (x_count <= 0) return log_returned(kRead, -705);
    if (mtx_block == nullptr) return log_returned(kRead, -706);
    if (buffer_size < 0) return log_returned(kRead, -707);
    std::int32_t rows = 0;
    std::int32_t cols = 0;
    // A margin whose block no packet can describe is as unusable as a
    // negative one.
    if (!Widen(y_count, buffer_size, rows) || !Widen(x_count, buffer_size, cols))
      return log_returned(kRead, -707);
    CGSvrPk_BlockOp* request = nullptr;
    Packet packet = NewRequest(request, grd_svr::BlockLoad);
    request->m_GridName = grid_name;
    request->m_BlkStartRow = y_start - 1 - buffer_size;
    request->m_BlkStartCol = x_start - 1 - buffer_size;
    request->m_RowCount = rows;
    request->m_ColCount = cols;
    request->m_CellType = CellTypeOf(mtx_block);
    SetMissing(*request, missing_value);
    const std::size_t n = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
    if (mirl::session_log_open())
      mirl::log_line(boost::str(
          boost::format("  readblock initial parameters"
                        "\n                           grid_name    : %s"
                        "\n                           y_start      : %d"
                        "\n                           x_start      : %d"
                        "\n                           y_count      : %d"
                        "\n                           x_count      : %d"
                        "\n                           buffer_size  : %f"
                        "\n                           y_min        : %d"
                        "\n                           x_min        : %d"
                        "\n                           y_max        : %d"
                        "\n                           x_max        : %d"
                        "\n                           missing_value: %d"
                        "\n                           cell_type    : %d"
                        "\n                           mtx_block    : %x") %
          grid_name % y_start % x_start % y_count % x_count % buffer_size % request->m_BlkStartRow %
          request->m_BlkStartCol % (static_cast<std::int64_t>(request->m_BlkStartRow) + rows) %
          (static_cast<std::int64_t>(request->m_BlkStartCol) + cols) %
          LoggedMissing(missing_value) % request->m_CellType % Address(mtx_block)));
    const int result = mirl::session::session_exchange(packet);
    if (result != 1) return log_returned(kRead, result);
    const CGSvrPk_BlockOp* reply = ReplyAs<CGSvrPk_BlockOp>(packet);
    if (reply == nullptr) return log_returned(kRead, result);
    if (reply->GetErrorCode() == 1) {
      // n comes from the arguments, which sized the caller's array; a reply
      // holding fewer cells must not leave part of it stale.
      const bool copied = reply->m_CellType == 1 ? CopyOut(reply->m_BlkDataINT, n, mtx_block)
                                                 : CopyOut(reply->m_BlkDataFLT, n, mtx_block);
      if (!copied) return log_returned(kRead, -708);
    }
    return log_returned(kRead, reply->GetErrorCode());
  });
}

template <class Cell>
int WriteBlock(const char* grid_name, int y_start, int x_start, int y_count, int x_count,
               Cell missing_value, const Cell* mtx_block, int transparency) {
  return Guarded(kWrite, -720, [&]() -> int {
    mirl::log_entering(kWrite);
    if (grid_name == nullptr) return log_returned(kWrite, -721);
    if (y_start <= 0) return log_returned(kWrite, -722);
    if (x_start <= 0) return log_returned(kWrite, -723);
    if (y_count <= 0) return log_returned(kWrite, -724);
    if (x_count <= 0) return log_returned(kWrite, -725);
    if (mtx_block == nullptr) return log_returned(kWrite, -726);
    if (transparency < 0 || transparency > 2) return log_returned(kWrite, -727);
    CGSvrPk_BlockOp* request = nullptr;
    Packet packet = NewRequest(request, grd_svr::BlockWrite);
    request->m_GridName = grid_name;
    request->m_BlkStartRow = y_start - 1;
    request->m_BlkStartCol = x_start - 1;
    request->m_RowCount = y_count;
    request->m_ColCount = x_count;
    request->m_CellType = CellTypeOf(mtx_block);
    SetMissing(*request, missing_value);
    request->m_Transparency = transparency;
    if (mirl::session_log_open())
      mirl::log_line(boost::str(boost::format("  writeblock initial parameters"
                                              "\n                           grid_name    : %s"
                                              "\n                           y_start      : %d"
                                              "\n                           x_start      : %d"
                                              "\n                           y_count      : %d"
                                              "\n                           x_count      : %d"
                                              "\n                           missing_value: %d"
                                              "\n                           transparency : %d"
                                              "\n                           cell_type    : %d"
                                              "\n                           mtx_block    : %x") %
                                grid_name % y_start % x_start % y_count % x_count %
                                LoggedMissing(missing_value) % transparency % request->m_CellType %
                                Address(mtx_block)));
    const std::size_t n = static_cast<std::size_t>(y_count) * static_cast<std::size_t>(x_count);
    CopyIn(mtx_block, n, request->m_BlkDataINT, request->m_BlkDataFLT);
    return log_returned(kWrite, mirl::session::session_exchange(packet));
  });
}

}  // namespace

MIRL_API int readblock_int(const char* grid_name, int y_start, int x_start, int y_count,
                           int x_count, int buffer_size, int missing_value, int* mtx_block) {
  return ReadBlock<std::int32_t>(grid_name, y_start, x_start, y_count, x_count, buffer_size,
                                 missing_value, mtx_block);
}

MIRL_API int readblock_dbl(const char* grid_name, int y_start, int x_start, int y_count,
                           int x_count, int buffer_size, double missing_value, double* mtx_block) {
  return ReadBlock<double>(grid_name, y_start, x_start, y_count, x_count, buffer_size,
                           missing_value, mtx_block);
}

MIRL_API int writeblock_int(const char* grid_name, int y_start, int x_start, int y_count,
                            int x_count, int missing_value, const int* mtx_block,
                            int transparency) {
  return WriteBlock<std::int32_t>(grid_name, y_start, x_start, y_count, x_count, missing_value,
                                  mtx_block, transparency);
}

MIRL_API int writeblock_dbl(const char* grid_name, int y_start, int x_start, int y_count,
                            int x_count, double missing_value, const double* mtx_block,
                            int transparency) {
  return WriteBlock<double>(grid_name, y_start, x_start, y_count, x_count, missing_value, mtx_block,
                            transparency);
}
