// What fileinfo reports about a search pattern: for one file, its size and
// last-write time; for a directory or a wildcard pattern, the total size of
// the matching files (directories skipped, no descent) and the newest
// last-write time among them.
//
// Thread safety: as platform::FileFind; one call per thread at a time is safe.
#ifndef MIRL_SYSUTIL_FILE_REPORT_H_
#define MIRL_SYSUTIL_FILE_REPORT_H_

#include <string>

namespace mirl {
namespace sysutil {

struct FileReport {
  double size_millions = 0;  // bytes / 1,000,000, with fractions
  std::string text;          // time text (time_text.h); empty when no file matched
};

// Fills report and returns true, or returns false when nothing matches the
// pattern. Throws when the newest time has no text (time_text.h).
bool ReportFiles(const std::string& pattern, FileReport* report);

}  // namespace sysutil
}  // namespace mirl

#endif  // MIRL_SYSUTIL_FILE_REPORT_H_
