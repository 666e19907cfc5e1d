// What an exchange throws when the host's interrupt check (TransportTiming's
// interrupted) asked it to stop: the connection is closed, nothing is
// retried, and the client is ready for the next exchange.
#ifndef MIRL_TRANSPORT_EXCHANGE_INTERRUPTED_H_
#define MIRL_TRANSPORT_EXCHANGE_INTERRUPTED_H_

#include <stdexcept>

namespace grd_svr {

class ExchangeInterrupted : public std::runtime_error {
 public:
  ExchangeInterrupted() : std::runtime_error("the host interrupted the exchange") {}
};

}  // namespace grd_svr

#endif  // MIRL_TRANSPORT_EXCHANGE_INTERRUPTED_H_
