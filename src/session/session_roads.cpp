#include "session/session_roads.h"

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

namespace {
// Constant-initialised, so that a list installed while the library's
// objects are initialised is never overwritten.
CleanUpSteps g_clean_up_steps = nullptr;
}  // namespace

void SetCleanUpSteps(CleanUpSteps steps) { g_clean_up_steps = steps; }

void RunCleanUpSteps() {
  if (g_clean_up_steps != nullptr) {
    g_clean_up_steps();
  } else {
    CloseSession();
  }
}

}  // namespace session
}  // namespace mirl
