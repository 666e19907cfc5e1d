#include "protocol/checked_packet_cast.h"
#include "protocol/control_packets.h"
#include "protocol/window_packets.h"
#include "server/gio.h"
#include "server/gio_state.h"
#include "server/gsvr_io.h"
#include "server/layer_cache.h"
#include "server/window_setup.h"

namespace grd_svr {
namespace {

bool WindowKept(std::int32_t code) { return code == ErrNone || code == ErrGridAccessWindowExists; }

// The process-wide window and memory mode into any of the window packets.
template <class P>
void FillWindow(P& packet) {
  const AccessWindow& window = GioState().window;
  packet.m_RowCount = window.m_Rows;
  packet.m_ColCount = window.m_Columns;
  packet.m_YLowerLeft = window.m_Box[kBoxYMin];
  packet.m_XLowerLeft = window.m_Box[kBoxXMin];
  packet.m_CellSize = window.m_CellSize;
  packet.m_BlockOnly = CacheState().memory_mode == kMemoryModeHollow;
}

}  // namespace

CGSvrIO::Packet CGSvrIO::OnPingServer(const Packet& request, std::string& error_text) {
  if (checked_packet_cast<CGSvrPk_PingServer>(request, atRequest, error_text) == nullptr)
    return Reply(request, ErrPackMalformed);
  return Reply(request, request->GetSignature() == kPacketSignature ? ErrNone : ErrPackVersion);
}

CGSvrIO::Packet CGSvrIO::OnGridServerRetire(const Packet& request, std::string& error_text) {
  if (checked_packet_cast<CGSvrPk_GridServerRetire>(request, atRequest, error_text) == nullptr)
    return Reply(request, ErrPackMalformed);
  if (request->GetSignature() != kPacketSignature) return Reply(request, ErrPackVersion);
  return Reply(request, m_IOMode == 1 ? ErrNone : ErrGridServerRetireBadIOMode);
}

CGSvrIO::Packet CGSvrIO::OnAccWndSet(const Packet& request, std::string& error_text) {
  CGSvrPk_AccWndSet* packet =
      checked_packet_cast<CGSvrPk_AccWndSet>(request, atRequest, error_text);
  if (packet == nullptr) return Reply(request, ErrPackMalformed);
  const std::int32_t code = SetWindowFromGrid(m_SourceName, packet->m_GridName, ForceWindow());
  if (WindowKept(code)) {
    packet->m_GridName = CGIO::ResolvePath(GioState().workspace, packet->m_GridName);
    FillWindow(*packet);
  }
  return Reply(request, code);
}

CGSvrIO::Packet CGSvrIO::OnAccWndMake(const Packet& request, std::string& error_text) {
  CGSvrPk_AccWndMake* packet =
      checked_packet_cast<CGSvrPk_AccWndMake>(request, atRequest, error_text);
  if (packet == nullptr) return Reply(request, ErrPackMalformed);
  const std::int32_t code =
      MakeWindow(m_SourceName, packet->m_RowCount, packet->m_ColCount, packet->m_YLowerLeft,
                 packet->m_XLowerLeft, packet->m_CellSize, ForceWindow());
  if (WindowKept(code)) FillWindow(*packet);
  return Reply(request, code);
}

CGSvrIO::Packet CGSvrIO::OnAccWndGet(const Packet& request, std::string& error_text) {
  CGSvrPk_AccWndGet* packet =
      checked_packet_cast<CGSvrPk_AccWndGet>(request, atRequest, error_text);
  if (packet == nullptr) return Reply(request, ErrPackMalformed);
  if (!GioState().window.IsValid()) return Reply(request, ErrGridNoAccessWindow);
  packet->m_GridName.clear();
  FillWindow(*packet);
  return Reply(request, ErrNone);
}

}  // namespace grd_svr
