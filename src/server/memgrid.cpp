#include "server/memgrid.h"

#include "platform/debug_output.h"
#include "protocol/packet.h"
#include "logging/multi_log.h"

namespace grd_svr {

CGSvrMemGrid::CGSvrMemGrid(const std::string& name, IGSvrLog* log)
    : m_Log(log),
      m_GrdName(name),
      m_Hits(0),
      m_Status(ErrNone),
      m_GrdCellType(0),
      m_GrdCountY(0),
      m_GrdCountX(0),
      m_CoordXLL(0.0),
      m_CoordYLL(0.0),
      m_GrdCellSize(0.0) {
  mirl::platform::DebugOutput("Constructing CGSvrMemGrid");
}

CGSvrMemGrid::~CGSvrMemGrid() { mirl::platform::DebugOutput("Destructing CGSvrMemGrid"); }

void CGSvrMemGrid::Reset() {
  m_GrdName.clear();
  m_GrdCellType = 1;
  m_GrdCountY = 0;
  m_GrdCountX = 0;
  m_CoordXLL = 0.0;
  m_CoordYLL = 0.0;
  m_GrdCellSize = 0.0;
}

std::int32_t CGSvrMemGrid::SetStatus(std::int32_t code) {
  if (code != ErrNone) Reset();
  m_Status = code;
  return code;
}

void CGSvrMemGrid::ApplyNameRule(const std::string& name) {
  if (!name.empty()) m_GrdName = name;
}

void CGSvrMemGrid::LogLine(const std::string& text) const {
  if (m_Log == nullptr) return;
  m_Log->Log(text, true, true);
  m_Log->Flush();
}

}  // namespace grd_svr
