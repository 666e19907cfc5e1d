// Catalogue packets: creating, copying and listing grids. Fields are public;
// ownership and thread safety as for every packet (packet.h).
#ifndef MIRL_PROTOCOL_CATALOG_PACKETS_H_
#define MIRL_PROTOCOL_CATALOG_PACKETS_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "protocol/packet.h"

namespace grd_svr {

class CGSvrPk_GridCreate : public CGSvrPacket {
 public:
  CGSvrPk_GridCreate();
  explicit CGSvrPk_GridCreate(std::int32_t action_type, std::int32_t action_id = GridCreate);

  std::ostream& Print(std::ostream& os) const override;
  void PrintFields(std::string prefix, std::ostream* os) const override;

  std::string m_GridName;
  std::int32_t m_CellType;
  std::int32_t m_RowCount;
  std::int32_t m_ColCount;
  double m_XLowerLeft;
  double m_YLowerLeft;
  double m_CellSize;
  // Reported by the server: it keeps layers without their cells.
  bool m_BlockOnly;

 private:
  friend class boost::serialization::access;
  template <class Archive>
  void serialize(Archive& ar, unsigned int version);
};

class CGSvrPk_GridCopy : public CGSvrPacket {
 public:
  CGSvrPk_GridCopy();
  explicit CGSvrPk_GridCopy(std::int32_t action_type, std::int32_t action_id = GridCopy);

  std::ostream& Print(std::ostream& os) const override;
  void PrintFields(std::string prefix, std::ostream* os) const override;

  std::string m_SourceGridName;
  std::string m_DestinationGridName;

 private:
  friend class boost::serialization::access;
  template <class Archive>
  void serialize(Archive& ar, unsigned int version);
};

// Prints the header only; PrintFields lists the names.
class CGSvrPk_GridList : public CGSvrPacket {
 public:
  CGSvrPk_GridList();
  explicit CGSvrPk_GridList(std::int32_t action_type, std::int32_t action_id = GridList);

  void PrintFields(std::string prefix, std::ostream* os) const override;

  // The workspace whose grids are listed, and the names found, in the
  // server's order.
  std::string m_Root;
  std::vector<std::string> m_GridNames;

 private:
  friend class boost::serialization::access;
  template <class Archive>
  void serialize(Archive& ar, unsigned int version);
};

}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_CATALOG_PACKETS_H_
