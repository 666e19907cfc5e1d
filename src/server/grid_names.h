// The names a request may carry, one rule for both roads: the in-process
// server keeps names inside its workspace exactly as the grid server
// program keeps them inside its root. Request handling (CGSvrIO) applies it
// to every request before dispatching it, and answers a request that breaks
// it with ErrPackMalformed, unserved.
//
// Every name or path a request carries
// - stays at or below the directory it is joined to: it is not absolute and
//   holds no ".." (which the system resolves after the links before it, so
//   that "link/.." may lie anywhere), under either spelling (as received,
//   or trimmed as the layer cache trims it before joining);
// - holds no NUL (the system would cut the path there, after the check)
//   and no other control character (names are written into the server
//   log, where a line feed would start a forged line).
// A grid name must also name something below that directory: not empty,
// not ".", and not the name of a filler grid (the cache would
// answer it with a filler, which is no layer at all).
// A name that makes a grid (GridCreate, GridWrite, the destination of
// GridCopy) must be one the catalogue can give back: no blank anywhere. The
// grid list travels as names separated by blanks, and a blank at either end
// is trimmed by the cache but not by the file system.
// Existing grids are read, described, block-written and deleted under the
// first two rules only, so a grid made by other tools stays reachable.
//
// The rule is lexical: a symbolic link inside the base that points out of
// it is followed, since whoever can place links there runs the server.
//
// Thread safety: pure functions.
#ifndef MIRL_SERVER_GRID_NAMES_H_
#define MIRL_SERVER_GRID_NAMES_H_

#include <functional>
#include <string>

#include "protocol/packet.h"

namespace grd_svr {

enum class NameRole {
  kDirectory,  // a directory to list; empty means the base itself
  kExisting,   // a grid to read, describe, write blocks of or delete
  kNew,        // a grid to make
};

// Empty when name may serve in role; else the reason it may not.
std::string NameRefusal(const std::string& name, NameRole role);

// The first refusal among the packet's names (for the packet's own class,
// whatever its action identifier says); empty when every name passes.
std::string PacketNameRefusal(const CGSvrPacket& packet);

// Calls visit on every name or path field of the packet's own class, with
// the role the packet's action gives it, until visit returns false;
// returns false when it did.
bool ForEachPacketName(CGSvrPacket& packet,
                       const std::function<bool(std::string& name, NameRole role)>& visit);

// text with every control character written as \xNN, for log lines.
std::string Printable(const std::string& text);

}  // namespace grd_svr

#endif  // MIRL_SERVER_GRID_NAMES_H_
