// The process-wide grid-server session: which road requests take (io mode),
// the server it talks to, and the two logs. Exactly one per loaded library.
//
// Ownership: the record owns the client, the handler and the server log
// through shared pointers; the grid I/O holder outlives sessions and is kept
// until the library is unloaded.
// Thread safety: none; exports are called from one host thread at a time.
#ifndef MIRL_SESSION_SESSION_RECORD_H_
#define MIRL_SESSION_SESSION_RECORD_H_

#include <fstream>
#include <string>

#include <boost/shared_ptr.hpp>

#include "logging/log.h"

namespace grd_svr {
class IGSvrLog;
class IGSvrClient;
class IGSvrIO;
class IGIO;
}  // namespace grd_svr

namespace mirl {
namespace session {

// io mode values.
constexpr int kNoSession = 0;
constexpr int kRemoteServer = 1;
constexpr int kInProcessServer = 2;

constexpr const char* kSessionLogName = "mirl_lib_log.txt";
constexpr const char* kServerLogName = "grid_server_log.txt";

struct SessionRecord {
  int io_mode = kNoSession;
  std::string source_name;
  int source_port = 0;
  /// The logging layer's stream (logging/log.h), opened and closed here.
  std::ofstream& session_log = mirl::session_log_stream();
  boost::shared_ptr<grd_svr::IGSvrLog> server_log;
  boost::shared_ptr<grd_svr::IGSvrClient> client;
  boost::shared_ptr<grd_svr::IGSvrIO> handler;
  boost::shared_ptr<grd_svr::IGIO> gio_holder;
};

// The one record. It is never destroyed by static destructors, so clean_up
// from the unload hook finds it alive whatever the destruction order.
SessionRecord& Session();

// Opens the session log for appending; it stays closed when that fails.
void OpenSessionLog();

// The session steps of clean_up: io mode 0, no source, port 0; release the
// handler, then the client; close the session log; release the server log.
// The grid I/O holder stays.
void CloseSession();

// Releases the grid I/O holder, and with the last binding the grid library
// (its GridIOExit, then the unload). For the library's own unload only:
// sessions keep the holder.
void ReleaseGridLibrary();

}  // namespace session
}  // namespace mirl

#endif  // MIRL_SESSION_SESSION_RECORD_H_
