#include "platform/library_entry.h"

namespace {

// Process-wide state is held by never-destroyed objects, so the detach
// handling is safe whether ordinary static destructors have already run or
// not.
__attribute__((constructor)) void OnLoad() {
  mirl::platform::OnLibraryEvent(mirl::platform::kProcessAttach);
}
__attribute__((destructor)) void OnUnload() {
  mirl::platform::OnLibraryEvent(mirl::platform::kProcessDetach);
}

}  // namespace
