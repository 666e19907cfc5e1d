// The name a request carries in m_ClientHost.
#ifndef MIRL_TRANSPORT_CLIENT_HOST_H_
#define MIRL_TRANSPORT_CLIENT_HOST_H_

#include <cstddef>
#include <string>

namespace grd_svr {

// The name the name buffer of 1024 characters has room for.
constexpr std::size_t kMaxClientHostLength = 1023;

// This computer's name, or "unknown" when the system cannot tell it or it
// does not fit the buffer.
std::string ClientHostName();

}  // namespace grd_svr

#endif  // MIRL_TRANSPORT_CLIENT_HOST_H_
