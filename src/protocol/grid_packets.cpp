#include "protocol/grid_packets.h"

#include "protocol/cell_pool.h"
#include "protocol/print_helpers.h"

namespace grd_svr {

// The decoding constructors set the request defaults too, so that a packet
// abandoned half-decoded never holds indeterminate values.
CGSvrPk_GridDescribe::CGSvrPk_GridDescribe()
    : m_CellType(-1),
      m_RowCount(-1),
      m_ColCount(-1),
      m_XLowerLeft(-1.0),
      m_YLowerLeft(-1.0),
      m_CellSize(-1.0),
      m_StatMin(-1.0),
      m_StatMax(-1.0),
      m_StatMean(-1.0),
      m_StatStdDev(-1.0) {}

CGSvrPk_GridDescribe::CGSvrPk_GridDescribe(std::int32_t action_type, std::int32_t action_id)
    : CGSvrPacket(action_type, action_id, kPacketSignature),
      m_CellType(-1),
      m_RowCount(-1),
      m_ColCount(-1),
      m_XLowerLeft(-1.0),
      m_YLowerLeft(-1.0),
      m_CellSize(-1.0),
      m_StatMin(-1.0),
      m_StatMax(-1.0),
      m_StatMean(-1.0),
      m_StatStdDev(-1.0) {}

std::ostream& CGSvrPk_GridDescribe::Print(std::ostream& os) const {
  CGSvrPacket::Print(os);
  print::Line(os, "  Grid name   : ", m_GridName);
  print::Line(os, "  Cell type   : ", m_CellType);
  print::Line(os, "  Row count   : ", m_RowCount);
  print::Line(os, "  Col count   : ", m_ColCount);
  print::Line(os, "  Y lower-left: ", m_YLowerLeft);
  print::Line(os, "  X lower-left: ", m_XLowerLeft);
  print::Line(os, "  Cell size   : ", m_CellSize);
  print::Line(os, "  StatMin     : ", m_StatMin);
  print::Line(os, "  StatMax     : ", m_StatMax);
  print::Line(os, "  StatMean    : ", m_StatMean);
  print::Line(os, "  StatStdDev  : ", m_StatStdDev);
  return os;
}

void CGSvrPk_GridDescribe::PrintFields(std::string prefix, std::ostream* os) const {
  print::DescribeSummary(prefix, *os, m_GridName, m_RowCount, m_ColCount, m_CellType, m_CellSize);
}

CGSvrPk_GridKill::CGSvrPk_GridKill() = default;

CGSvrPk_GridKill::CGSvrPk_GridKill(std::int32_t action_type)
    : CGSvrPk_GridDescribe(action_type, GridKill) {}

void CGSvrPk_GridKill::PrintFields(std::string prefix, std::ostream* os) const {
  print::GridNameSummary(prefix, *os, m_GridName);
}

CGSvrPk_GridOp::CGSvrPk_GridOp() : m_MissingINT(-1), m_MissingFLT(-1.0f) {}

CGSvrPk_GridOp::CGSvrPk_GridOp(std::int32_t action_type, std::int32_t action_id)
    : CGSvrPk_GridDescribe(action_type, action_id), m_MissingINT(-1), m_MissingFLT(-1.0f) {}

std::ostream& CGSvrPk_GridOp::Print(std::ostream& os) const {
  CGSvrPk_GridDescribe::Print(os);
  print::Line(os, "    MissingINT: ", m_MissingINT);
  print::Line(os, "    MissingFLT: ", m_MissingFLT);
  print::SizeLine(os, "    GrdDataINT: ", m_GrdDataINT);
  print::SizeLine(os, "    GrdDataFLT: ", m_GrdDataFLT);
  return os;
}

void CGSvrPk_GridOp::PrintFields(std::string prefix, std::ostream* os) const {
  CGSvrPk_GridDescribe::PrintFields(prefix, os);
  *os << prefix << "GRD_DATA[ INT: " << m_GrdDataINT.size() << " , FLT: " << m_GrdDataFLT.size()
      << " ]\n";
}

CGSvrPk_GridOp::~CGSvrPk_GridOp() { ClearData(); }

void CGSvrPk_GridOp::ClearData() {
  GiveCells(m_GrdDataINT);
  GiveCells(m_GrdDataFLT);
}

}  // namespace grd_svr
