// The road to a remote grid server: one request in, one reply out.
//
// Ownership: held by boost::shared_ptr in the session record from gridinit
// to clean_up. Thread safety: none; one thread at a time per client.
#ifndef MIRL_TRANSPORT_GSVR_CLIENT_H_
#define MIRL_TRANSPORT_GSVR_CLIENT_H_

#include <boost/shared_ptr.hpp>

#include "protocol/packet.h"

namespace grd_svr {

class IGSvrClient {
 public:
  // Carries the request to the server and returns its reply, or an empty
  // pointer when every attempt failed. May throw (name resolution, encoding).
  virtual boost::shared_ptr<CGSvrPacket> Exchange(boost::shared_ptr<CGSvrPacket> request) = 0;
  virtual ~IGSvrClient() = default;
};

}  // namespace grd_svr

#endif  // MIRL_TRANSPORT_GSVR_CLIENT_H_
