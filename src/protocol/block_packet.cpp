#include "protocol/block_packet.h"

#include "protocol/cell_pool.h"
#include "protocol/print_helpers.h"

namespace grd_svr {

CGSvrPk_BlockOp::CGSvrPk_BlockOp()
    : m_CellType(-1),
      m_RowCount(-1),
      m_ColCount(-1),
      m_XLowerLeft(-1.0),
      m_YLowerLeft(-1.0),
      m_CellSize(-1.0),
      m_BlkStartRow(-1),
      m_BlkStartCol(-1),
      m_MissingINT(-1),
      m_MissingFLT(-1.0f),
      m_Transparency(0) {}

CGSvrPk_BlockOp::CGSvrPk_BlockOp(std::int32_t action_type, std::int32_t action_id)
    : CGSvrPacket(action_type, action_id, kPacketSignature),
      m_CellType(-1),
      m_RowCount(-1),
      m_ColCount(-1),
      m_XLowerLeft(-1.0),
      m_YLowerLeft(-1.0),
      m_CellSize(-1.0),
      m_BlkStartRow(-1),
      m_BlkStartCol(-1),
      m_MissingINT(-1),
      m_MissingFLT(-1.0f),
      m_Transparency(0) {}

std::ostream& CGSvrPk_BlockOp::Print(std::ostream& os) const {
  CGSvrPacket::Print(os);
  print::Line(os, "  Grid name     : ", m_GridName);
  print::Line(os, "  Cell type     : ", m_CellType);
  print::Line(os, "  Row count     : ", m_RowCount);
  print::Line(os, "  Col count     : ", m_ColCount);
  print::Line(os, "  Y lower-left  : ", m_YLowerLeft);
  print::Line(os, "  X lower-left  : ", m_XLowerLeft);
  print::Line(os, "  Cell size     : ", m_CellSize);
  // The labels are historical: they carry the start row and column.
  print::Line(os, "    BlkMinY     : ", m_BlkStartRow);
  print::Line(os, "    BlkMaxX     : ", m_BlkStartCol);
  print::Line(os, "    MissingINT  : ", m_MissingINT);
  print::Line(os, "    MissingFLT  : ", m_MissingFLT);
  print::Line(os, "    Transparency: ", m_Transparency);
  print::SizeLine(os, "    BlkDataINT  : ", m_BlkDataINT);
  print::SizeLine(os, "    BlkDataFLT  : ", m_BlkDataFLT);
  return os;
}

void CGSvrPk_BlockOp::PrintFields(std::string prefix, std::ostream* os) const {
  print::GridNameSummary(prefix, *os, m_GridName);
  *os << prefix << "BLK_DIMS[ START(R" << m_BlkStartRow << " : C" << m_BlkStartCol << ") , SIZE("
      << m_RowCount << " x " << m_ColCount << ") ]\n";
  *os << prefix << "BLK_CELL[ TYPE: " << m_CellType << " , SIZE: " << m_CellSize << " ]\n";
}

CGSvrPk_BlockOp::~CGSvrPk_BlockOp() { ClearData(); }

void CGSvrPk_BlockOp::ClearData() {
  GiveCells(m_BlkDataINT);
  GiveCells(m_BlkDataFLT);
}

}  // namespace grd_svr
