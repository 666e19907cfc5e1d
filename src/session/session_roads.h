// How gridinit builds the session's roads, with a seam for tests: the TCP
// client comes from a factory that is make_tcp_client unless a test
// replaces it. No export reaches the seam.
//
// Thread safety: none; the host's single calling thread.
#ifndef MIRL_SESSION_SESSION_ROADS_H_
#define MIRL_SESSION_SESSION_ROADS_H_

#include <boost/shared_ptr.hpp>
#include <fstream>
#include <functional>
#include <string>

namespace grd_svr {
class IGSvrClient;
}  // namespace grd_svr

namespace mirl {
namespace session {

constexpr int kDefaultPort = 3339;

// Makes the client of a remote grid server at host:port that writes its
// diagnostics to *log (the session log, which may be closed); empty when it
// cannot be made.
using ClientFactory = std::function<boost::shared_ptr<grd_svr::IGSvrClient>(
    const std::string& host, int port, std::ofstream* log)>;

// The factory gridinit uses now.
const ClientFactory& CurrentClientFactory();

// Test hook: later gridinit calls use factory; an empty one restores
// make_tcp_client.
void SetClientFactory(ClientFactory factory);

// The steps of clean_up, which a failing gridinit runs before it returns.
// Their list belongs to the export layer, which knows every subsystem that
// holds something (exports/clean_up.cpp installs it when the library
// loads); until a list is installed, the steps are CloseSession alone.
using CleanUpSteps = void (*)();
void SetCleanUpSteps(CleanUpSteps steps);
void RunCleanUpSteps();

}  // namespace session
}  // namespace mirl

#endif  // MIRL_SESSION_SESSION_ROADS_H_
