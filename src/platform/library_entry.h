// The module's load and unload hook. The system tells the shipped library
// when it is attached to or detached from a process or thread; the hook in
// entry/ (DllMain on Windows, the loader's constructor and destructor
// functions on POSIX, which know no thread notices) passes each reason on
// to OnLibraryEvent.
//
// Only the shipped library links the hook, and it defines OnLibraryEvent;
// test programs link neither.
// Thread safety: called by the system's loader, under its lock.
#ifndef MIRL_PLATFORM_LIBRARY_ENTRY_H_
#define MIRL_PLATFORM_LIBRARY_ENTRY_H_

namespace mirl {
namespace platform {

// The reasons, with the values of the Windows entry point.
enum LibraryEvent { kProcessDetach = 0, kProcessAttach = 1, kThreadAttach = 2, kThreadDetach = 3 };

// Handles one event; non-zero for success (the hook reports it to the system).
// process_ending: a detach because the process ends rather than because the
// library is unloaded (Windows tells them apart; the POSIX hook cannot and
// passes false).
int OnLibraryEvent(int reason, bool process_ending = false);

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_LIBRARY_ENTRY_H_
