// What the grid server adds to the name rule that both roads share
// (server/grid_names.h, applied by the request handler it serves through):
// replies leave the server naming grids relative to the root, so that its
// own file system layout is not disclosed to clients.
//
// Thread safety: pure functions.
#ifndef MIRL_GRIDSERVER_ROOT_GUARD_H_
#define MIRL_GRIDSERVER_ROOT_GUARD_H_

#include <string>

#include "protocol/packet.h"

namespace grid_server {

// Rewrites every name or path field of the reply that lies at or below root
// (an absolute directory) relative to it: root + "/sub/dem" becomes
// "sub/dem", root itself ".". Other names stay as they are.
void NameRepliesRelativeToRoot(grd_svr::CGSvrPacket& reply, const std::string& root);

}  // namespace grid_server

#endif  // MIRL_GRIDSERVER_ROOT_GUARD_H_
