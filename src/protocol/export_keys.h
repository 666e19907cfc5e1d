// The export keys under which the packet classes are registered with
// Boost.Serialization, and the check that they all are. Registration happens
// while the library is loaded (static initialisation of packet_export.cpp),
// so it is complete before any export runs; at load the check writes any
// missing key to the debugger output.
#ifndef MIRL_PROTOCOL_EXPORT_KEYS_H_
#define MIRL_PROTOCOL_EXPORT_KEYS_H_

#include <string>
#include <vector>

namespace grd_svr {

// The thirteen keys, CGSvrPacket's own first.
const std::vector<std::string>& PacketExportKeys();

// The keys that Boost does not know at the time of the call; empty when the
// build registered every class. Thread-safe after load.
std::vector<std::string> UnregisteredExportKeys();

}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_EXPORT_KEYS_H_
