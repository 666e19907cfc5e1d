// Access-window packets. AccWndSet names the grid whose extent becomes the
// window; AccWndGet asks for the current window (name left empty); both have
// the same fields. AccWndMake gives the window by its parameters and has no
// grid name. Fields are public; ownership and thread safety as for every
// packet (packet.h).
#ifndef MIRL_PROTOCOL_WINDOW_PACKETS_H_
#define MIRL_PROTOCOL_WINDOW_PACKETS_H_

#include <cstdint>
#include <ostream>
#include <string>

#include "protocol/packet.h"

namespace grd_svr {

class CGSvrPk_AccWndSet : public CGSvrPacket {
 public:
  CGSvrPk_AccWndSet();
  explicit CGSvrPk_AccWndSet(std::int32_t action_type, std::int32_t action_id = AccWndSet);

  std::ostream& Print(std::ostream& os) const override;
  void PrintFields(std::string prefix, std::ostream* os) const override;

  std::string m_GridName;
  std::int32_t m_RowCount;
  std::int32_t m_ColCount;
  double m_XLowerLeft;
  double m_YLowerLeft;
  double m_CellSize;
  bool m_BlockOnly;

 private:
  friend class boost::serialization::access;
  template <class Archive>
  void serialize(Archive& ar, unsigned int version);
};

class CGSvrPk_AccWndGet : public CGSvrPacket {
 public:
  CGSvrPk_AccWndGet();
  explicit CGSvrPk_AccWndGet(std::int32_t action_type, std::int32_t action_id = AccWndGet);

  std::ostream& Print(std::ostream& os) const override;
  void PrintFields(std::string prefix, std::ostream* os) const override;

  std::string m_GridName;
  std::int32_t m_RowCount;
  std::int32_t m_ColCount;
  double m_XLowerLeft;
  double m_YLowerLeft;
  double m_CellSize;
  bool m_BlockOnly;

 private:
  friend class boost::serialization::access;
  template <class Archive>
  void serialize(Archive& ar, unsigned int version);
};

class CGSvrPk_AccWndMake : public CGSvrPacket {
 public:
  CGSvrPk_AccWndMake();
  explicit CGSvrPk_AccWndMake(std::int32_t action_type, std::int32_t action_id = AccWndMake);

  std::ostream& Print(std::ostream& os) const override;
  void PrintFields(std::string prefix, std::ostream* os) const override;

  std::int32_t m_RowCount;
  std::int32_t m_ColCount;
  double m_XLowerLeft;
  double m_YLowerLeft;
  double m_CellSize;
  bool m_BlockOnly;

 private:
  friend class boost::serialization::access;
  template <class Archive>
  void serialize(Archive& ar, unsigned int version);
};

}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_WINDOW_PACKETS_H_
