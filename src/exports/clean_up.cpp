#include "exports/mirl_lib.h"

#include "analysis/spread_buffer.h"
#include "protocol/cell_pool.h"
#include "session/session_record.h"
#include "session/session_roads.h"
#include "transport/host_waits.h"

namespace {

// What clean_up releases, in order: the spread work buffer, the session
// (handler, client, logs), the cell storage kept for reuse, and the waits a
// host asked for (its interrupt check may belong to a library about to go).
// The grid I/O holder stays until the library is unloaded.
void CleanUpLibrary() {
  mirl::analysis::ReleaseSpreadBuffer();
  mirl::session::CloseSession();
  grd_svr::ReleasePooledCells();
  grd_svr::ResetHostWaits();
}

// A failing gridinit runs the same steps.
[[maybe_unused]] const bool kStepsInstalled =
    (mirl::session::SetCleanUpSteps(&CleanUpLibrary), true);

}  // namespace

MIRL_API void clean_up(void) {
  try {
    CleanUpLibrary();
  } catch (...) {
    // clean_up reports nothing; what could not be released stays for the next call.
  }
}
