// The grid server's confinement rule: a request may name only the root it
// serves and what lies below it. The request handler joins names to its
// base directory and takes an absolute name as it stands, and the layer
// cache trims white space off a name before joining it; so a name is
// refused when either spelling (as received, or trimmed) is absolute or
// climbs above the root through "..", and when it holds a NUL character
// (the operating system would cut the path there, after the check).
//
// The rule is lexical: a symbolic link inside the root that points out of
// it is followed, since whoever can place links in the root runs the server.
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

}  // namespace grid_server

#endif  // MIRL_GRIDSERVER_ROOT_GUARD_H_
