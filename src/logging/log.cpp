#include "logging/log.h"

#include <fstream>

#include <boost/date_time/posix_time/posix_time.hpp>
#include <boost/format.hpp>

namespace mirl {

std::ofstream& session_log_stream() {
  static std::ofstream* stream = new std::ofstream;
  return *stream;
}

std::string log_time_stamp() {
  // second_clock has no fractional part, so the simple string is exactly
  // "YYYY-Mon-DD HH:MM:SS".
  return boost::posix_time::to_simple_string(
      boost::posix_time::second_clock::local_time());
}

void log_line_to(std::ostream& stream, const std::string& text) {
  if (!stream.good()) return;
  stream << log_time_stamp() << " | " << text << '\n';
  stream.flush();
}

void log_line(const std::string& text) {
  std::ofstream& stream = session_log_stream();
  if (!stream.is_open()) return;
  log_line_to(stream, text);
}

bool session_log_open() { return session_log_stream().is_open(); }

void log_entering(const std::string& name) {
  // Formatting costs more than many exports' own work; skip it when unlogged.
  if (!session_log_open()) return;
  log_line(boost::str(boost::format("Entering %s") % name));
}

int log_returned(const std::string& name, int code) {
  if (!session_log_open()) return code;
  log_line(boost::str(boost::format("%s returned with code: %d") % name % code));
  return code;
}

}  // namespace mirl
