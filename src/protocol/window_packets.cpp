#include "protocol/window_packets.h"

#include "protocol/print_helpers.h"

namespace grd_svr {
namespace {

// The print lines of a window, with or without its grid name.
void PrintWindow(std::ostream& os, const std::string* name, std::int32_t rows, std::int32_t cols,
                 double y, double x, double cell_size, bool block_only) {
  if (name != nullptr) print::Line(os, "  Grid name   : ", *name);
  print::Line(os, "  Row count   : ", rows);
  print::Line(os, "  Col count   : ", cols);
  print::Line(os, "  Y lower-left: ", y);
  print::Line(os, "  X lower-left: ", x);
  print::Line(os, "  Cell size   : ", cell_size);
  print::Line(os, "  Block only  : ", block_only ? 1 : 0);
}

}  // namespace

CGSvrPk_AccWndSet::CGSvrPk_AccWndSet()
    : m_RowCount(-1),
      m_ColCount(-1),
      m_XLowerLeft(-1.0),
      m_YLowerLeft(-1.0),
      m_CellSize(-1.0),
      m_BlockOnly(false) {}

CGSvrPk_AccWndSet::CGSvrPk_AccWndSet(std::int32_t action_type, std::int32_t action_id)
    : CGSvrPacket(action_type, action_id, kPacketSignature),
      m_RowCount(-1),
      m_ColCount(-1),
      m_XLowerLeft(-1.0),
      m_YLowerLeft(-1.0),
      m_CellSize(-1.0),
      m_BlockOnly(false) {}

std::ostream& CGSvrPk_AccWndSet::Print(std::ostream& os) const {
  CGSvrPacket::Print(os);
  PrintWindow(os, &m_GridName, m_RowCount, m_ColCount, m_YLowerLeft, m_XLowerLeft, m_CellSize,
              m_BlockOnly);
  return os;
}

void CGSvrPk_AccWndSet::PrintFields(std::string prefix, std::ostream* os) const {
  print::WindowSummary(prefix, *os, m_GridName, m_RowCount, m_ColCount, m_CellSize);
}

CGSvrPk_AccWndGet::CGSvrPk_AccWndGet()
    : m_RowCount(-1),
      m_ColCount(-1),
      m_XLowerLeft(-1.0),
      m_YLowerLeft(-1.0),
      m_CellSize(-1.0),
      m_BlockOnly(false) {}

CGSvrPk_AccWndGet::CGSvrPk_AccWndGet(std::int32_t action_type, std::int32_t action_id)
    : CGSvrPacket(action_type, action_id, kPacketSignature),
      m_RowCount(-1),
      m_ColCount(-1),
      m_XLowerLeft(-1.0),
      m_YLowerLeft(-1.0),
      m_CellSize(-1.0),
      m_BlockOnly(false) {}

std::ostream& CGSvrPk_AccWndGet::Print(std::ostream& os) const {
  CGSvrPacket::Print(os);
  PrintWindow(os, &m_GridName, m_RowCount, m_ColCount, m_YLowerLeft, m_XLowerLeft, m_CellSize,
              m_BlockOnly);
  return os;
}

void CGSvrPk_AccWndGet::PrintFields(std::string prefix, std::ostream* os) const {
  print::WindowSummary(prefix, *os, m_GridName, m_RowCount, m_ColCount, m_CellSize);
}

CGSvrPk_AccWndMake::CGSvrPk_AccWndMake()
    : m_RowCount(-1),
      m_ColCount(-1),
      m_XLowerLeft(-1.0),
      m_YLowerLeft(-1.0),
      m_CellSize(-1.0),
      m_BlockOnly(false) {}

CGSvrPk_AccWndMake::CGSvrPk_AccWndMake(std::int32_t action_type, std::int32_t action_id)
    : CGSvrPacket(action_type, action_id, kPacketSignature),
      m_RowCount(-1),
      m_ColCount(-1),
      m_XLowerLeft(-1.0),
      m_YLowerLeft(-1.0),
      m_CellSize(-1.0),
      m_BlockOnly(false) {}

std::ostream& CGSvrPk_AccWndMake::Print(std::ostream& os) const {
  CGSvrPacket::Print(os);
  PrintWindow(os, nullptr, m_RowCount, m_ColCount, m_YLowerLeft, m_XLowerLeft, m_CellSize,
              m_BlockOnly);
  return os;
}

void CGSvrPk_AccWndMake::PrintFields(std::string prefix, std::ostream* os) const {
  print::DimsSummary(prefix, *os, m_RowCount, m_ColCount);
  *os << prefix << "GRD_CELL[ SIZE: " << m_CellSize << " ]\n";
}

}  // namespace grd_svr
