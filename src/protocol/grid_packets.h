// Whole-grid packets: the description of a grid, its deletion, and the
// transfer of all its cells. CGSvrPk_GridKill and CGSvrPk_GridOp derive from
// CGSvrPk_GridDescribe and encode all of its fields. Fields are public: the
// exports and the server read and write them directly. Ownership and thread
// safety as for every packet (packet.h).
#ifndef MIRL_PROTOCOL_GRID_PACKETS_H_
#define MIRL_PROTOCOL_GRID_PACKETS_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "protocol/packet.h"

namespace grd_svr {

class CGSvrPk_GridDescribe : public CGSvrPacket {
 public:
  CGSvrPk_GridDescribe();
  explicit CGSvrPk_GridDescribe(std::int32_t action_type, std::int32_t action_id = GridDescribe);

  std::ostream& Print(std::ostream& os) const override;
  void PrintFields(std::string prefix, std::ostream* os) const override;

  std::string m_GridName;
  std::int32_t m_CellType;
  std::int32_t m_RowCount;
  std::int32_t m_ColCount;
  double m_XLowerLeft;
  double m_YLowerLeft;
  double m_CellSize;
  double m_StatMin;
  double m_StatMax;
  double m_StatMean;
  double m_StatStdDev;

 private:
  friend class boost::serialization::access;
  template <class Archive>
  void serialize(Archive& ar, unsigned int version);
};

// Only m_GridName is used: the grid to delete. Prints as a description.
class CGSvrPk_GridKill : public CGSvrPk_GridDescribe {
 public:
  CGSvrPk_GridKill();
  explicit CGSvrPk_GridKill(std::int32_t action_type);

  void PrintFields(std::string prefix, std::ostream* os) const override;

 private:
  friend class boost::serialization::access;
  template <class Archive>
  void serialize(Archive& ar, unsigned int version);
};

// GridLoad or GridWrite: the cells of a whole grid, row after row; only the
// vector of the cell type is filled.
class CGSvrPk_GridOp : public CGSvrPk_GridDescribe {
 public:
  CGSvrPk_GridOp();
  CGSvrPk_GridOp(std::int32_t action_type, std::int32_t action_id);
  // The cells' storage goes back to the cell pool for the next packet.
  ~CGSvrPk_GridOp() override;
  CGSvrPk_GridOp(const CGSvrPk_GridOp&) = default;
  CGSvrPk_GridOp(CGSvrPk_GridOp&&) = default;
  CGSvrPk_GridOp& operator=(const CGSvrPk_GridOp&) = default;
  CGSvrPk_GridOp& operator=(CGSvrPk_GridOp&&) = default;

  std::ostream& Print(std::ostream& os) const override;
  void PrintFields(std::string prefix, std::ostream* os) const override;
  void ClearData() override;

  std::int32_t m_MissingINT;
  float m_MissingFLT;
  std::vector<std::int32_t> m_GrdDataINT;
  std::vector<float> m_GrdDataFLT;

 private:
  friend class boost::serialization::access;
  template <class Archive>
  void serialize(Archive& ar, unsigned int version);
};

}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_GRID_PACKETS_H_
