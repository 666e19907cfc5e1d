#include "protocol/catalog_packets.h"

#include "protocol/print_helpers.h"

namespace grd_svr {

CGSvrPk_GridCreate::CGSvrPk_GridCreate()
    : m_CellType(-1),
      m_RowCount(-1),
      m_ColCount(-1),
      m_XLowerLeft(-1.0),
      m_YLowerLeft(-1.0),
      m_CellSize(-1.0),
      m_BlockOnly(false) {}

CGSvrPk_GridCreate::CGSvrPk_GridCreate(std::int32_t action_type, std::int32_t action_id)
    : CGSvrPacket(action_type, action_id, kPacketSignature),
      m_CellType(-1),
      m_RowCount(-1),
      m_ColCount(-1),
      m_XLowerLeft(-1.0),
      m_YLowerLeft(-1.0),
      m_CellSize(-1.0),
      m_BlockOnly(false) {}

std::ostream& CGSvrPk_GridCreate::Print(std::ostream& os) const {
  CGSvrPacket::Print(os);
  print::Line(os, "  Grid name   : ", m_GridName);
  print::Line(os, "  Cell type   : ", m_CellType);
  print::Line(os, "  Row count   : ", m_RowCount);
  print::Line(os, "  Col count   : ", m_ColCount);
  print::Line(os, "  Y lower-left: ", m_YLowerLeft);
  print::Line(os, "  X lower-left: ", m_XLowerLeft);
  print::Line(os, "  Cell size   : ", m_CellSize);
  print::Line(os, "  Block only  : ", m_BlockOnly ? 1 : 0);
  return os;
}

void CGSvrPk_GridCreate::PrintFields(std::string prefix, std::ostream* os) const {
  print::DescribeSummary(prefix, *os, m_GridName, m_RowCount, m_ColCount, m_CellType, m_CellSize);
}

CGSvrPk_GridCopy::CGSvrPk_GridCopy() = default;

CGSvrPk_GridCopy::CGSvrPk_GridCopy(std::int32_t action_type, std::int32_t action_id)
    : CGSvrPacket(action_type, action_id, kPacketSignature) {}

std::ostream& CGSvrPk_GridCopy::Print(std::ostream& os) const {
  CGSvrPacket::Print(os);
  print::Line(os, "  Source grid name      : ", m_SourceGridName);
  print::Line(os, "  Destination grid name : ", m_DestinationGridName);
  return os;
}

void CGSvrPk_GridCopy::PrintFields(std::string prefix, std::ostream* os) const {
  *os << prefix << "GRD_SRC[" << m_SourceGridName << "]\n";
  *os << prefix << "GRD_DST[" << m_DestinationGridName << "]\n";
}

CGSvrPk_GridList::CGSvrPk_GridList() = default;

CGSvrPk_GridList::CGSvrPk_GridList(std::int32_t action_type, std::int32_t action_id)
    : CGSvrPacket(action_type, action_id, kPacketSignature) {}

void CGSvrPk_GridList::PrintFields(std::string prefix, std::ostream* os) const {
  if (!m_Root.empty()) *os << prefix << "ROOT: " << m_Root << "\n";
  if (m_GridNames.empty()) {
    *os << prefix << "No grids found.\n";
    return;
  }
  for (std::size_t i = 0; i < m_GridNames.size(); ++i) {
    *os << prefix << i << ". " << m_GridNames[i] << "\n";
  }
}

}  // namespace grd_svr
