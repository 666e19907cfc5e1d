// Every packet class of the grid-server protocol in one include.
#ifndef MIRL_PROTOCOL_PACKETS_H_
#define MIRL_PROTOCOL_PACKETS_H_

#include "protocol/block_packet.h"
#include "protocol/catalog_packets.h"
#include "protocol/control_packets.h"
#include "protocol/grid_packets.h"
#include "protocol/packet.h"
#include "protocol/window_packets.h"

#endif  // MIRL_PROTOCOL_PACKETS_H_
