// The check that a received packet is what its receiver expects: the
// expected action type, and the packet class of the action.
#ifndef MIRL_PROTOCOL_CHECKED_PACKET_CAST_H_
#define MIRL_PROTOCOL_CHECKED_PACKET_CAST_H_

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>

#include "protocol/packet.h"

namespace grd_svr {

// "Malformed packet, expecting ActionType = atResponse [<expected>] got
// [<actual>]\n" (the words stay whatever type was expected).
std::string MalformedPacketText(std::int32_t expected_type, std::int32_t actual_type);

// "Mismatched packet type for action id [<id>]\n".
std::string MismatchedPacketText(std::int32_t action_id);

// The packet as a T, or null: null with error untouched for an empty
// pointer; null with the malformed text for another action type; null with
// the mismatched text when the packet is not a T (or derived from T).
// On success error is cleared. The result points into packet and lives as
// long as the packet does.
template <class T>
T* checked_packet_cast(const boost::shared_ptr<CGSvrPacket>& packet, std::int32_t expected_type,
                       std::string& error) {
  if (!packet) return nullptr;
  if (packet->GetActionType() != expected_type) {
    error = MalformedPacketText(expected_type, packet->GetActionType());
    return nullptr;
  }
  T* typed = dynamic_cast<T*>(packet.get());
  if (typed == nullptr) {
    error = MismatchedPacketText(packet->GetActionID());
    return nullptr;
  }
  error.clear();
  return typed;
}

}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_CHECKED_PACKET_CAST_H_
