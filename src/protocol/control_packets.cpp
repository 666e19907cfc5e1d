#include "protocol/control_packets.h"

namespace grd_svr {

CGSvrPk_PingServer::CGSvrPk_PingServer() = default;

CGSvrPk_PingServer::CGSvrPk_PingServer(std::int32_t action_type)
    : CGSvrPacket(action_type, PingServer, kPacketSignature) {}

CGSvrPk_GridServerRetire::CGSvrPk_GridServerRetire() = default;

CGSvrPk_GridServerRetire::CGSvrPk_GridServerRetire(std::int32_t action_type)
    : CGSvrPacket(action_type, GridServerRetire, kPacketSignature) {}

}  // namespace grd_svr
