// setwindow, makewindow, getwindow: one request each, the window in force
// copied back through the six pointers.
#include <boost/format.hpp>
#include <cstdint>
#include <string>

#include "exports/grid_api.h"
#include "gridapi/grid_call.h"
#include "protocol/window_packets.h"
#include "logging/log.h"
#include "session/session_exchange.h"

namespace {

using namespace mirl::gridapi;
using mirl::log_returned;

// The six window parameters, in the order of every export and log entry.
struct WindowArgs {
  int* y_count;
  int* x_count;
  double* y_ll;
  double* x_ll;
  double* cell_size;
  int* block_only;
};

// The parameter lines of the entries, behind their header (and, for
// setwindow, the grid name line).
const char* const kWindowLines =
    "\n                           y_count   : 0x%x |%d"
    "\n                           x_count   : 0x%x |%d"
    "\n                           y_ll      : 0x%x |%f"
    "\n                           x_ll      : 0x%x |%f"
    "\n                           cell_size : 0x%x |%f"
    "\n                           block_only: 0x%x |%d";

boost::format& FillWindow(boost::format& format, const WindowArgs& w) {
  return format % Address(w.y_count) % *w.y_count % Address(w.x_count) % *w.x_count %
         Address(w.y_ll) % *w.y_ll % Address(w.x_ll) % *w.x_ll % Address(w.cell_size) %
         *w.cell_size % Address(w.block_only) % *w.block_only;
}

// One entry: "  <name> <stage> parameters", the grid name line when there is
// a name, and the six parameter lines with their current values.
void LogWindow(const char* name, const char* stage, const char* grid_name, const WindowArgs& w) {
  if (!mirl::session_log_open()) return;
  std::string text = std::string("  ") + name + " " + stage + " parameters";
  if (grid_name != nullptr) text += "\n                           grid_name : %s";
  text += kWindowLines;
  boost::format format(text);
  if (grid_name != nullptr) format % grid_name;
  mirl::log_line(boost::str(FillWindow(format, w)));
}

// The null checks in parameter order; first_code is the y_count code, and
// block_only's code skips one.
int CheckPointers(const WindowArgs& w, int first_code) {
  if (w.y_count == nullptr) return first_code;
  if (w.x_count == nullptr) return first_code - 1;
  if (w.y_ll == nullptr) return first_code - 2;
  if (w.x_ll == nullptr) return first_code - 3;
  if (w.cell_size == nullptr) return first_code - 4;
  if (w.block_only == nullptr) return first_code - 6;
  return 0;
}

template <class P>
void CopyWindow(const P& reply, const WindowArgs& w) {
  *w.y_count = reply.m_RowCount;
  *w.x_count = reply.m_ColCount;
  *w.y_ll = reply.m_YLowerLeft;
  *w.x_ll = reply.m_XLowerLeft;
  *w.cell_size = reply.m_CellSize;
  *w.block_only = reply.m_BlockOnly ? 1 : 0;
}

// Steps 6 to 10 of every window export: exchange, check, copy out on
// success or on the accepted second code (0 for none).
template <class P>
int ExchangeWindow(const char* name, const char* grid_name, Packet& packet, const WindowArgs& w,
                   int accepted_code, bool copy_on_accepted) {
  const int result = mirl::session::session_exchange(packet);
  if (result != 1 && result != accepted_code) return log_returned(name, result);
  const P* reply = ReplyAs<P>(packet);
  if (reply == nullptr) return log_returned(name, result);
  const int code = reply->GetErrorCode();
  if (code == 1 || (copy_on_accepted && code == accepted_code)) {
    CopyWindow(*reply, w);
    LogWindow(name, "return", grid_name, w);
  }
  return log_returned(name, code);
}

const char* const kSet = "setwindow";
const char* const kMake = "makewindow";
const char* const kGet = "getwindow";

}  // namespace

MIRL_API int setwindow(const char* grid_name, int* y_count, int* x_count, double* y_ll,
                       double* x_ll, double* cell_size, int* block_only) {
  const WindowArgs w{y_count, x_count, y_ll, x_ll, cell_size, block_only};
  return Guarded(kSet, -600, [&]() -> int {
    mirl::log_entering(kSet);
    if (grid_name == nullptr) return log_returned(kSet, -601);
    if (const int code = CheckPointers(w, -602)) return log_returned(kSet, code);
    grd_svr::CGSvrPk_AccWndSet* request = nullptr;
    Packet packet = NewRequest(request);
    request->m_GridName = grid_name;
    LogWindow(kSet, "initial", grid_name, w);
    return ExchangeWindow<grd_svr::CGSvrPk_AccWndSet>(kSet, grid_name, packet, w,
                                                      grd_svr::ErrGridAccessWindowExists, true);
  });
}

MIRL_API int makewindow(int* y_count, int* x_count, double* y_ll, double* x_ll, double* cell_size,
                        int* block_only) {
  const WindowArgs w{y_count, x_count, y_ll, x_ll, cell_size, block_only};
  return Guarded(kMake, -760, [&]() -> int {
    mirl::log_entering(kMake);
    if (const int code = CheckPointers(w, -762)) return log_returned(kMake, code);
    grd_svr::CGSvrPk_AccWndMake* request = nullptr;
    Packet packet = NewRequest(request);
    request->m_RowCount = *y_count;
    request->m_ColCount = *x_count;
    request->m_YLowerLeft = *y_ll;
    request->m_XLowerLeft = *x_ll;
    request->m_CellSize = *cell_size;
    LogWindow(kMake, "initial", nullptr, w);
    return ExchangeWindow<grd_svr::CGSvrPk_AccWndMake>(kMake, nullptr, packet, w,
                                                       grd_svr::ErrGridAccessWindowExists, true);
  });
}

MIRL_API int getwindow(int* y_count, int* x_count, double* y_ll, double* x_ll, double* cell_size,
                       int* block_only) {
  const WindowArgs w{y_count, x_count, y_ll, x_ll, cell_size, block_only};
  return Guarded(kGet, -520, [&]() -> int {
    mirl::log_entering(kGet);
    if (const int code = CheckPointers(w, -522)) return log_returned(kGet, code);
    grd_svr::CGSvrPk_AccWndGet* request = nullptr;
    Packet packet = NewRequest(request);
    request->m_GridName = "";
    LogWindow(kGet, "initial", nullptr, w);
    return ExchangeWindow<grd_svr::CGSvrPk_AccWndGet>(kGet, nullptr, packet, w,
                                                      grd_svr::ErrGridNoAccessWindow, false);
  });
}
