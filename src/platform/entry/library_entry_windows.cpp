#include "platform/library_entry.h"

#include <windows.h>

// The C runtime calls DllMain at detach before it runs the static
// destructors, so process-wide state is still alive then.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  return mirl::platform::OnLibraryEvent(static_cast<int>(reason)) != 0 ? TRUE : FALSE;
}
