#include "session/session_roads.h"

#include "analysis/spread_buffer.h"
#include "protocol/cell_pool.h"
#include "session/session_record.h"
#include "transport/tcp_client.h"

namespace mirl {
namespace session {
namespace {

ClientFactory& Factory() {
  static ClientFactory* factory = new ClientFactory(&grd_svr::make_tcp_client);
  return *factory;
}

}  // namespace

const ClientFactory& CurrentClientFactory() { return Factory(); }

void SetClientFactory(ClientFactory factory) {
  Factory() = factory ? std::move(factory) : ClientFactory(&grd_svr::make_tcp_client);
}

void CleanUpLibrary() {
  analysis::ReleaseSpreadBuffer();
  CloseSession();
  grd_svr::ReleasePooledCells();
}

}  // namespace session
}  // namespace mirl
