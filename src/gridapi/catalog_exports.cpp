// gridlist, gridkill, griddescribe, gridcreate, gridcopy, gridserver_retire.
#include <boost/format.hpp>
#include <cstddef>
#include <cstring>
#include <string>

#include "exports/grid_api.h"
#include "gridapi/grid_call.h"
#include "protocol/catalog_packets.h"
#include "protocol/control_packets.h"
#include "protocol/grid_packets.h"
#include "logging/log.h"
#include "session/session_exchange.h"

namespace {

using namespace mirl::gridapi;
using mirl::log_returned;

const char* const kList = "gridlist";
const char* const kKill = "gridkill";
const char* const kDescribe = "griddescribe";
const char* const kCreate = "gridcreate";
const char* const kCopy = "gridcopy";
const char* const kRetire = "gridserver_retire";

// The longest grid list buffer, in characters.
constexpr std::size_t kMaxListCapacity = 9999;

// Steps 6 to 8 of the catalogue exports: the exchange and the typed reply.
// Returns null with code set to what the export returns at once.
template <class P>
const P* Exchange(Packet& packet, int& code) {
  code = mirl::session::session_exchange(packet);
  if (code != 1) return nullptr;
  return ReplyAs<P>(packet);
}

struct DescribeArgs {
  int* y_count;
  int* x_count;
  double* y_ll;
  double* x_ll;
  double* cell_size;
  int* cell_type;
  double* stat_min;
  double* stat_max;
  double* stat_mean;
  double* stat_stddev;
};

void LogDescribe(const char* stage, const char* grid_name, const DescribeArgs& d) {
  if (!mirl::session_log_open()) return;
  boost::format format(std::string("  griddescribe ") + stage +
                       " parameters"
                       "\n                           grid_name  : %s"
                       "\n                           y_count    : 0x%x |%d"
                       "\n                           x_count    : 0x%x |%d"
                       "\n                           y_ll       : 0x%x |%f"
                       "\n                           x_ll       : 0x%x |%f"
                       "\n                           cell_size  : 0x%x |%f"
                       "\n                           cell_type  : 0x%x |%d"
                       "\n                           stat_min   : 0x%x |%f"
                       "\n                           stat_max   : 0x%x |%f"
                       "\n                           stat_mean  : 0x%x |%f"
                       "\n                           stat_stddev: 0x%x |%f");
  format % grid_name % Address(d.y_count) % *d.y_count % Address(d.x_count) % *d.x_count %
      Address(d.y_ll) % *d.y_ll % Address(d.x_ll) % *d.x_ll % Address(d.cell_size) % *d.cell_size %
      Address(d.cell_type) % *d.cell_type % Address(d.stat_min) % *d.stat_min %
      Address(d.stat_max) % *d.stat_max % Address(d.stat_mean) % *d.stat_mean %
      Address(d.stat_stddev) % *d.stat_stddev;
  mirl::log_line(boost::str(format));
}

// The first null out-pointer's code, -742 for y_count on; 0 when none is.
int CheckDescribe(const DescribeArgs& d) {
  const void* const pointers[] = {d.y_count,   d.x_count,  d.y_ll,     d.x_ll,      d.cell_size,
                                  d.cell_type, d.stat_min, d.stat_max, d.stat_mean, d.stat_stddev};
  for (int i = 0; i < 10; ++i)
    if (pointers[i] == nullptr) return -742 - i;
  return 0;
}

}  // namespace

MIRL_API int gridlist(const char* root, char* grid_list) {
  return Guarded(kList, -740, [&]() -> int {
    mirl::log_entering(kList);
    if (grid_list == nullptr) return log_returned(kList, -821);
    // Bounded, so a buffer without a terminator is not read past the limit.
    const std::size_t capacity = strnlen(grid_list, kMaxListCapacity + 1);
    if (capacity == 0) return log_returned(kList, -822);
    if (capacity > kMaxListCapacity) return log_returned(kList, -823);
    if (root == nullptr) return log_returned(kList, -825);
    grd_svr::CGSvrPk_GridList* request = nullptr;
    Packet packet = NewRequest(request);
    request->m_Root = root;
    int code = 0;
    const grd_svr::CGSvrPk_GridList* reply = Exchange<grd_svr::CGSvrPk_GridList>(packet, code);
    if (reply == nullptr) return log_returned(kList, code);
    if (reply->GetErrorCode() != 1) return log_returned(kList, reply->GetErrorCode());
    std::string packed;
    std::string full;
    for (const std::string& name : reply->m_GridNames) {
      // A name that does not fit is skipped; a later, shorter one may.
      if (packed.size() + name.size() < capacity) {
        packed += name;
        packed += ' ';
      }
      full += name;
      full += '\n';
    }
    std::memcpy(grid_list, packed.data(), packed.size());
    grid_list[packed.size()] = '\0';
    if (mirl::session_log_open())
      mirl::log_line(boost::str(boost::format("  gridlist return parameters"
                                              "\n                           grid list: %s") %
                                full));
    return log_returned(kList, packed.size() == full.size() ? 1 : -824);
  });
}

MIRL_API int gridkill(const char* grid_name) {
  return Guarded(kKill, -640, [&]() -> int {
    mirl::log_entering(kKill);
    if (grid_name == nullptr) return log_returned(kKill, -641);
    grd_svr::CGSvrPk_GridKill* request = nullptr;
    Packet packet = NewRequest(request);
    request->m_GridName = grid_name;
    if (mirl::session_log_open())
      mirl::log_line(boost::str(boost::format("  gridkill initial parameters"
                                              "\n                           grid_name: %s") %
                                request->m_GridName));
    int code = 0;
    const grd_svr::CGSvrPk_GridKill* reply = Exchange<grd_svr::CGSvrPk_GridKill>(packet, code);
    if (reply == nullptr) return log_returned(kKill, code);
    return log_returned(kKill, reply->GetErrorCode());
  });
}

MIRL_API int griddescribe(const char* grid_name, int* y_count, int* x_count, double* y_ll,
                          double* x_ll, double* cell_size, int* cell_type, double* stat_min,
                          double* stat_max, double* stat_mean, double* stat_stddev) {
  const DescribeArgs d{y_count,   x_count,  y_ll,     x_ll,      cell_size,
                       cell_type, stat_min, stat_max, stat_mean, stat_stddev};
  return Guarded(kDescribe, -740, [&]() -> int {
    mirl::log_entering(kDescribe);
    if (grid_name == nullptr) return log_returned(kDescribe, -741);
    if (const int code = CheckDescribe(d)) return log_returned(kDescribe, code);
    grd_svr::CGSvrPk_GridDescribe* request = nullptr;
    Packet packet = NewRequest(request);
    request->m_GridName = grid_name;
    LogDescribe("initial", grid_name, d);
    int code = 0;
    const grd_svr::CGSvrPk_GridDescribe* reply =
        Exchange<grd_svr::CGSvrPk_GridDescribe>(packet, code);
    if (reply == nullptr) return log_returned(kDescribe, code);
    if (reply->GetErrorCode() == 1) {
      *y_count = reply->m_RowCount;
      *x_count = reply->m_ColCount;
      *y_ll = reply->m_YLowerLeft;
      *x_ll = reply->m_XLowerLeft;
      *cell_size = reply->m_CellSize;
      *cell_type = reply->m_CellType;
      *stat_min = reply->m_StatMin;
      *stat_max = reply->m_StatMax;
      *stat_mean = reply->m_StatMean;
      *stat_stddev = reply->m_StatStdDev;
      LogDescribe("return", grid_name, d);
    }
    return log_returned(kDescribe, reply->GetErrorCode());
  });
}

MIRL_API int gridcreate(const char* grid_name, int cell_type) {
  return Guarded(kCreate, -800, [&]() -> int {
    mirl::log_entering(kCreate);
    if (grid_name == nullptr) return log_returned(kCreate, -801);
    if (cell_type != 1 && cell_type != 2) return log_returned(kCreate, -802);
    grd_svr::CGSvrPk_GridCreate* request = nullptr;
    Packet packet = NewRequest(request);
    request->m_GridName = grid_name;
    request->m_CellType = cell_type;
    if (mirl::session_log_open())
      mirl::log_line(boost::str(boost::format("  gridcreate initial parameters"
                                              "\n                       grid_name: %s"
                                              "\n                       cell_type: %d") %
                                request->m_GridName % request->m_CellType));
    int code = 0;
    const grd_svr::CGSvrPk_GridCreate* reply = Exchange<grd_svr::CGSvrPk_GridCreate>(packet, code);
    if (reply == nullptr) return log_returned(kCreate, code);
    if (reply->GetErrorCode() == 1 && mirl::session_log_open())
      mirl::log_line(boost::str(boost::format("  gridcreate return parameters"
                                              "\n                       grid_name: %s"
                                              "\n                       cell_type: %d") %
                                reply->m_GridName % reply->m_CellType));
    return log_returned(kCreate, reply->GetErrorCode());
  });
}

MIRL_API int gridcopy(const char* src_grid_name, const char* dst_grid_name) {
  return Guarded(kCopy, -780, [&]() -> int {
    mirl::log_entering(kCopy);
    if (src_grid_name == nullptr) return log_returned(kCopy, -781);
    if (dst_grid_name == nullptr) return log_returned(kCopy, -782);
    grd_svr::CGSvrPk_GridCopy* request = nullptr;
    Packet packet = NewRequest(request);
    request->m_SourceGridName = src_grid_name;
    request->m_DestinationGridName = dst_grid_name;
    if (mirl::session_log_open())
      mirl::log_line(boost::str(boost::format("  gridcopy initial parameters"
                                              "\n                       src_grid_name: %s"
                                              "\n                       dst_grid_name: %s") %
                                request->m_SourceGridName % request->m_DestinationGridName));
    int code = 0;
    const grd_svr::CGSvrPk_GridCopy* reply = Exchange<grd_svr::CGSvrPk_GridCopy>(packet, code);
    if (reply == nullptr) return log_returned(kCopy, code);
    if (reply->GetErrorCode() == 1 && mirl::session_log_open())
      mirl::log_line(boost::str(boost::format("  gridcopy return parameters"
                                              "\n                       src_grid_name: %s"
                                              "\n                       dst_grid_name: %s") %
                                reply->m_SourceGridName % reply->m_DestinationGridName));
    return log_returned(kCopy, reply->GetErrorCode());
  });
}

MIRL_API int gridserver_retire(void) {
  return Guarded(kRetire, -640, [&]() -> int {
    mirl::log_entering(kRetire);
    grd_svr::CGSvrPk_GridServerRetire* request = nullptr;
    Packet packet = NewRequest(request);
    mirl::log_line("  gridserver_retire request made");
    int code = 0;
    const grd_svr::CGSvrPk_GridServerRetire* reply =
        Exchange<grd_svr::CGSvrPk_GridServerRetire>(packet, code);
    if (reply == nullptr) return log_returned(kRetire, code);
    return log_returned(kRetire, reply->GetErrorCode());
  });
}
