// Packets that consist of the header only: the ping that opens a TCP session
// and the request that asks a remote server to retire. Each supplies its own
// action id. Ownership and thread safety as for every packet (packet.h).
#ifndef MIRL_PROTOCOL_CONTROL_PACKETS_H_
#define MIRL_PROTOCOL_CONTROL_PACKETS_H_

#include <cstdint>

#include "protocol/packet.h"

namespace grd_svr {

class CGSvrPk_PingServer : public CGSvrPacket {
 public:
  CGSvrPk_PingServer();
  explicit CGSvrPk_PingServer(std::int32_t action_type);

 private:
  friend class boost::serialization::access;
  template <class Archive>
  void serialize(Archive& ar, unsigned int version);
};

class CGSvrPk_GridServerRetire : public CGSvrPacket {
 public:
  CGSvrPk_GridServerRetire();
  explicit CGSvrPk_GridServerRetire(std::int32_t action_type);

 private:
  friend class boost::serialization::access;
  template <class Archive>
  void serialize(Archive& ar, unsigned int version);
};

}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_CONTROL_PACKETS_H_
