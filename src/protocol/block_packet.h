// BlockLoad or BlockWrite: a rectangle of cells of one grid, row after row;
// only the vector of the cell type is filled. Fields are public; ownership
// and thread safety as for every packet (packet.h).
#ifndef MIRL_PROTOCOL_BLOCK_PACKET_H_
#define MIRL_PROTOCOL_BLOCK_PACKET_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "protocol/packet.h"

namespace grd_svr {

class CGSvrPk_BlockOp : public CGSvrPacket {
 public:
  CGSvrPk_BlockOp();
  CGSvrPk_BlockOp(std::int32_t action_type, std::int32_t action_id);
  // The cells' storage goes back to the cell pool for the next packet.
  ~CGSvrPk_BlockOp() override;
  CGSvrPk_BlockOp(const CGSvrPk_BlockOp&) = default;
  CGSvrPk_BlockOp(CGSvrPk_BlockOp&&) = default;
  CGSvrPk_BlockOp& operator=(const CGSvrPk_BlockOp&) = default;
  CGSvrPk_BlockOp& operator=(CGSvrPk_BlockOp&&) = default;

  std::ostream& Print(std::ostream& os) const override;
  void PrintFields(std::string prefix, std::ostream* os) const override;
  void ClearData() override;

  std::string m_GridName;
  std::int32_t m_CellType;
  std::int32_t m_RowCount;
  std::int32_t m_ColCount;
  double m_XLowerLeft;
  double m_YLowerLeft;
  double m_CellSize;
  // Grid row and column of the block's first cell, from 0; may be negative.
  std::int32_t m_BlkStartRow;
  std::int32_t m_BlkStartCol;
  std::int32_t m_MissingINT;
  float m_MissingFLT;
  // Block write mode 0, 1 or 2.
  std::int32_t m_Transparency;
  std::vector<std::int32_t> m_BlkDataINT;
  std::vector<float> m_BlkDataFLT;

 private:
  friend class boost::serialization::access;
  template <class Archive>
  void serialize(Archive& ar, unsigned int version);
};

}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_BLOCK_PACKET_H_
