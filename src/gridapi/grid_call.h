// The steps every grid export shares: a fresh request of its packet class,
// the typed view of the reply, the missing value in both cell types, the
// address rendering of the log entries, and the guard that turns any
// exception into the export's round code.
//
// Thread safety: none; the host's single calling thread.
#ifndef MIRL_GRIDAPI_GRID_CALL_H_
#define MIRL_GRIDAPI_GRID_CALL_H_

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "gridapi/cell_convert.h"
#include "protocol/checked_packet_cast.h"
#include "protocol/packet.h"
#include "logging/log.h"

namespace mirl {
namespace gridapi {

using Packet = boost::shared_ptr<grd_svr::CGSvrPacket>;

// A new request of class P (action type atRequest; ids as P's constructor
// takes them) and, through request, its typed view.
template <class P, class... Ids>
Packet NewRequest(P*& request, Ids... ids) {
  Packet packet = boost::make_shared<P>(grd_svr::atRequest, ids...);
  std::string error_text;
  request = grd_svr::checked_packet_cast<P>(packet, grd_svr::atRequest, error_text);
  if (request == nullptr) throw std::logic_error(error_text);
  return packet;
}

// The reply as a P response, or null.
template <class P>
P* ReplyAs(const Packet& reply) {
  std::string error_text;
  return grd_svr::checked_packet_cast<P>(reply, grd_svr::atResponse, error_text);
}

// The caller's missing value into a request, in both cell types.
template <class P>
void SetMissing(P& request, std::int32_t missing_value) {
  request.m_MissingINT = missing_value;
  request.m_MissingFLT = static_cast<float>(missing_value);
}
template <class P>
void SetMissing(P& request, double missing_value) {
  request.m_MissingINT = TruncateToInt(missing_value);
  request.m_MissingFLT = RoundToFloat(missing_value);
}

// The missing value as the log entries show it.
inline std::int32_t LoggedMissing(std::int32_t missing_value) { return missing_value; }
inline std::int32_t LoggedMissing(double missing_value) { return TruncateToInt(missing_value); }

// Cell type of the caller's array: 1 integers, 2 doubles (sent as floats).
inline std::int32_t CellTypeOf(const std::int32_t*) { return 1; }
inline std::int32_t CellTypeOf(const double*) { return 2; }

// A pointer as the log entries print it after "%x".
inline std::uintptr_t Address(const void* pointer) {
  return reinterpret_cast<std::uintptr_t>(pointer);
}

// Runs work and returns its code; an exception gives failure_code, written
// as the export's result line while the session log allows.
template <class Work>
int Guarded(const char* name, int failure_code, Work&& work) noexcept {
  try {
    return work();
  } catch (...) {
  }
  try {
    return log_returned(name, failure_code);
  } catch (...) {
    return failure_code;
  }
}

}  // namespace gridapi
}  // namespace mirl

#endif  // MIRL_GRIDAPI_GRID_CALL_H_
