#include "protocol/checked_packet_cast.h"

#include <boost/format.hpp>

namespace grd_svr {

std::string MalformedPacketText(std::int32_t expected_type, std::int32_t actual_type) {
  return boost::str(boost::format("Malformed packet, expecting ActionType = atResponse [%d] got "
                                  "[%d]\n") %
                    expected_type % actual_type);
}

std::string MismatchedPacketText(std::int32_t action_id) {
  return boost::str(boost::format("Mismatched packet type for action id [%d]\n") % action_id);
}

}  // namespace grd_svr
