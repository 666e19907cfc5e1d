#include "protocol/packet.h"

#include "protocol/packet_names.h"

namespace grd_svr {

const char kPacketSignature[] = "grd_svr_v1.3";

CGSvrPacket::CGSvrPacket()
    : m_Signature("UNKNOWN"), m_ActionID(0), m_ActionType(0), m_ErrorCode(ErrNone) {}

CGSvrPacket::CGSvrPacket(std::int32_t action_type, std::int32_t action_id,
                         const std::string& signature)
    : m_Signature(signature),
      m_ActionID(action_id),
      m_ActionType(action_type),
      m_ErrorCode(ErrNone) {}

CGSvrPacket::~CGSvrPacket() = default;

std::ostream& CGSvrPacket::Print(std::ostream& os) const {
  os << "Signature  : " << m_Signature << "\n";
  os << "Action ID  : [" << m_ActionID << "] = " << ActionIdName(m_ActionID) << "\n";
  os << "Action Type: [" << m_ActionType << "] = " << ActionTypeName(m_ActionType) << "\n";
  os << "Error Code : [" << m_ErrorCode << "]"
     << "\n";
  return os;
}

void CGSvrPacket::PrintFields(std::string, std::ostream*) const {}

void CGSvrPacket::ClearData() {}

}  // namespace grd_svr
