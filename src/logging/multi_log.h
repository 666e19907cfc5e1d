// The server log: an IGSvrLog that the in-process grid server writes a line
// for every request and reply to. CMultiLog writes to a file sink and,
// optionally, to standard output (or the host's console, console_writer.h).
//
// Ownership: the session record holds the server log by shared pointer and
// hands the request handler a plain pointer for the session's lifetime.
// Thread safety: none inside; the request handler serialises its own calls.
#ifndef MIRL_LOGGING_MULTI_LOG_H_
#define MIRL_LOGGING_MULTI_LOG_H_

#include <fstream>
#include <string>

#include <boost/shared_ptr.hpp>

namespace grd_svr {

class IGSvrLog {
 public:
  /// Writes the line to every enabled sink.
  virtual void Log(std::string text, bool stamp, bool newline) = 0;
  /// Writes the line to the console sink only.
  virtual void LogConsole(std::string text, bool stamp, bool newline) = 0;
  /// Writes the line to the file sink only; does not flush.
  virtual void LogFile(std::string text, bool stamp, bool newline) = 0;
  /// Flushes the file sink.
  virtual void Flush() = 0;
  virtual ~IGSvrLog() {}
};

class CMultiLog : public IGSvrLog {
 public:
  // Opens file_name for appending when file_flag is set, falling back to
  // "log.txt"; file_name() keeps the name asked for either way.
  CMultiLog(bool console_flag, bool file_flag, const std::string& file_name);
  ~CMultiLog() override;

  void Log(std::string text, bool stamp, bool newline) override;
  void LogConsole(std::string text, bool stamp, bool newline) override;
  void LogFile(std::string text, bool stamp, bool newline) override;
  void Flush() override;

  bool is_open() const { return m_File.is_open(); }
  const std::string& file_name() const { return m_FileName; }

 private:
  static std::string MakeLine(const std::string& text, bool stamp, bool newline);

  bool m_FileFlag;
  bool m_ConsoleFlag;
  std::string m_FileName;
  std::ofstream m_File;
};

// A CMultiLog over file_name ("log.txt" when empty); empty when it cannot be
// created or its file is not open (so a logger without a file is never
// returned).
boost::shared_ptr<IGSvrLog> make_server_log(bool console_flag, bool file_flag,
                                            const std::string& file_name);

}  // namespace grd_svr

#endif  // MIRL_LOGGING_MULTI_LOG_H_
