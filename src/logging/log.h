// The session log: one text file ("mirl_lib_log.txt" in the current
// directory) that exports write their entry and result lines to while a
// session with logging is open. Every line is "<stamp> | <text>\n", the stamp
// being local time at second resolution ("2009-Jan-09 14:03:07"); the stream
// is flushed after every line. The stream is process-wide and lives here;
// the session record (session/session_record.h) opens and closes it.
//
// Thread safety: none; called from the host's single calling thread.
#ifndef MIRL_LOGGING_LOG_H_
#define MIRL_LOGGING_LOG_H_

#include <fstream>
#include <ostream>
#include <string>

namespace mirl {

// The session log's stream, closed until a session with logging opens it.
// Never destroyed, so that logging from the unload hook finds it alive.
std::ofstream& session_log_stream();

// The local time now, formatted as "2009-Jan-09 14:03:07".
std::string log_time_stamp();

// Writes "<stamp> | <text>" and an end of line to the stream if it is open,
// then flushes it. Text with line breaks gets one stamp, before its first line.
void log_line_to(std::ostream& stream, const std::string& text);

// log_line_to on the session log; does nothing while it is closed.
void log_line(const std::string& text);

// True while the session log is open.
bool session_log_open();

// log_line("Entering <name>").
void log_entering(const std::string& name);

// log_line("<name> returned with code: <code>"); returns code unchanged.
int log_returned(const std::string& name, int code);

}  // namespace mirl

#endif  // MIRL_LOGGING_LOG_H_
