#include "platform/library_entry.h"

#include <windows.h>

// The C runtime calls DllMain at detach before it runs the static
// destructors, so process-wide state is still alive then.
// At DLL_PROCESS_DETACH, a non-null reserved pointer means the process is
// ending, not that the library is being freed.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  const bool process_ending = reason == DLL_PROCESS_DETACH && reserved != nullptr;
  return mirl::platform::OnLibraryEvent(static_cast<int>(reason), process_ending) != 0 ? TRUE
                                                                                      : FALSE;
}
