/* Where the console sink of CMultiLog writes: the process's standard output,
 * unless the library is built for a host with a console of its own
 * (MIRL_CONSOLE_THROUGH_HOST, the R package's build). There the library
 * refers to no standard stream at all: the host installs its writer when it
 * loads the library (R's Rprintf), and until it has, console lines are
 * dropped.
 *
 * Thread safety: the writer is set once, at load, before any export runs. */
#ifndef MIRL_LOGGING_CONSOLE_WRITER_H_
#define MIRL_LOGGING_CONSOLE_WRITER_H_

#ifdef __cplusplus
#include <string>
extern "C" {
#endif

/* text is zero-terminated; the writer must not keep it. */
typedef void (*mirl_console_writer)(const char* text);
void mirl_set_console_writer(mirl_console_writer writer);

#ifdef __cplusplus
}

namespace grd_svr {
void WriteConsole(const std::string& text);
}  // namespace grd_svr
#endif

#endif /* MIRL_LOGGING_CONSOLE_WRITER_H_ */
