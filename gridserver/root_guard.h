// The grid server's confinement rule: a request may name only the root it
// serves and what lies below it. The request handler joins names to its
// base directory and takes an absolute name as it stands, and the layer
// cache trims white space off a name before joining it; so a name is
// refused when either spelling (as received, or trimmed) is absolute or
// climbs above the root through "..", and when it holds a NUL character
// (the operating system would cut the path there, after the check).
//
// A name whose trimmed spelling is that of a filler grid is refused too: the
// cache answers it with a filler, which stands for no layer under the root,
// so writing it would create a layer wherever the server happens to run.
//
// The rule is lexical: a symbolic link inside the root that points out of
// it is followed, since whoever can place links in the root runs the server.
//
// Replies leave the server naming grids relative to the root, so that its
// own file system layout is not disclosed to clients.
//
// Thread safety: pure functions.
#ifndef MIRL_GRIDSERVER_ROOT_GUARD_H_
#define MIRL_GRIDSERVER_ROOT_GUARD_H_

#include <string>

#include "protocol/packet.h"

namespace grid_server {

// True when name, joined to the root, stays at or below it. The empty name
// (the root itself, or "no root given" in a grid list) stays.
bool NameStaysInRoot(const std::string& name);

// True when every name or path the packet carries stays in the root, for
// the packet's own class whatever its action identifier says (the handler
// checks the class against the action later).
bool PacketStaysInRoot(const grd_svr::CGSvrPacket& packet);

// Rewrites every name or path field of the reply that lies at or below root
// (an absolute directory) relative to it: root + "/sub/dem" becomes
// "sub/dem", root itself ".". Other names stay as they are.
void NameRepliesRelativeToRoot(grd_svr::CGSvrPacket& reply, const std::string& root);

}  // namespace grid_server

#endif  // MIRL_GRIDSERVER_ROOT_GUARD_H_
