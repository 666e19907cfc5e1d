#include "session/session_record.h"

#include "platform/shared_file.h"
#include "server/gio.h"

namespace mirl {
namespace session {

SessionRecord& Session() {
  static SessionRecord* record = new SessionRecord;
  return *record;
}

void OpenSessionLog() {
  SessionRecord& s = Session();
  if (s.session_log.is_open()) return;
  s.session_log.clear();
  mirl::platform::OpenSharedForAppend(s.session_log, kSessionLogName);
}

void CloseSession() {
  SessionRecord& s = Session();
  s.io_mode = kNoSession;
  s.source_name.clear();
  s.source_port = 0;
  s.handler.reset();
  s.client.reset();
  if (s.session_log.is_open()) s.session_log.close();
  s.session_log.clear();
  s.server_log.reset();
}

void ReleaseGridLibrary() { Session().gio_holder.reset(); }

}  // namespace session
}  // namespace mirl
