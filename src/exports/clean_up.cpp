#include "exports/mirl_lib.h"

#include "analysis/spread_buffer.h"
#include "session/session_record.h"

MIRL_API void clean_up(void) {
  try {
    mirl::analysis::ReleaseSpreadBuffer();
    mirl::session::CloseSession();
  } catch (...) {
    // clean_up reports nothing; what could not be released stays for the next call.
  }
}
