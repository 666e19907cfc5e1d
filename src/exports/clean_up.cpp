#include "exports/mirl_lib.h"

#include "session/session_roads.h"

MIRL_API void clean_up(void) {
  try {
    mirl::session::CleanUpLibrary();
  } catch (...) {
    // clean_up reports nothing; what could not be released stays for the next call.
  }
}
