#include "logging/multi_log.h"

#include "platform/shared_file.h"
#include "logging/console_writer.h"
#include "logging/log.h"

namespace grd_svr {

CMultiLog::CMultiLog(bool console_flag, bool file_flag, const std::string& file_name)
    : m_FileFlag(file_flag), m_ConsoleFlag(console_flag), m_FileName(file_name) {
  if (!m_FileFlag) return;
  mirl::platform::OpenSharedForAppend(m_File, m_FileName);
  if (!m_File.is_open()) {
    m_File.clear();
    mirl::platform::OpenSharedForAppend(m_File, "log.txt");
  }
}

CMultiLog::~CMultiLog() {
  if (m_File.is_open()) m_File.close();
}

std::string CMultiLog::MakeLine(const std::string& text, bool stamp, bool newline) {
  std::string line;
  if (stamp) line = mirl::log_time_stamp() + " | ";
  line += text;
  if (newline) line += '\n';
  return line;
}

void CMultiLog::Log(std::string text, bool stamp, bool newline) {
  LogConsole(text, stamp, newline);
  LogFile(text, stamp, newline);
}

void CMultiLog::LogConsole(std::string text, bool stamp, bool newline) {
  if (m_ConsoleFlag) WriteConsole(MakeLine(text, stamp, newline));
}

void CMultiLog::LogFile(std::string text, bool stamp, bool newline) {
  if (m_File.is_open()) m_File << MakeLine(text, stamp, newline);
}

void CMultiLog::Flush() {
  if (m_File.is_open()) m_File.flush();
}

boost::shared_ptr<IGSvrLog> make_server_log(bool console_flag, bool file_flag,
                                            const std::string& file_name) {
  const std::string name = file_name.empty() ? std::string("log.txt") : file_name;
  try {
    boost::shared_ptr<CMultiLog> log(new CMultiLog(console_flag, file_flag, name));
    if (!log->is_open()) return boost::shared_ptr<IGSvrLog>();
    return log;
  } catch (...) {
    return boost::shared_ptr<IGSvrLog>();
  }
}

}  // namespace grd_svr
