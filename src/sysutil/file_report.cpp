#include "sysutil/file_report.h"

#include "platform/file_query.h"
#include "platform/path_separator.h"
#include "platform/wildcard_match.h"
#include "sysutil/time_text.h"

namespace mirl {
namespace sysutil {
namespace {

constexpr double kBytesPerMillion = 1000000.0;

// Walks a search whose first match is already in entry.
void Summarise(platform::FileFind& find, platform::FoundEntry& entry, FileReport* report) {
  bool any_file = false;
  platform::FileTime newest;
  do {
    if (entry.is_directory) continue;
    report->size_millions += static_cast<double>(entry.size) / kBytesPerMillion;
    // A flag rather than a starting time of 0, so that a file older than the
    // clock's origin still counts as found.
    if (!any_file || platform::CompareFileTime(entry.last_write, newest) > 0)
      newest = entry.last_write;
    any_file = true;
  } while (find.Next(&entry));
  report->text = any_file ? FileTimeText(newest) : std::string();
}

}  // namespace

bool ReportFiles(const std::string& pattern, FileReport* report) {
  *report = FileReport();
  platform::FileFind find;
  platform::FoundEntry entry;
  if (!find.First(pattern, &entry)) return false;
  if (platform::HasWildcard(pattern)) {
    Summarise(find, entry, report);
    return true;
  }
  if (entry.is_directory) {
    find.Close();
    if (!find.First(pattern + platform::NativePathSeparator() + "*", &entry)) return false;
    Summarise(find, entry, report);
    return true;
  }
  report->size_millions = static_cast<double>(entry.size) / kBytesPerMillion;
  report->text = FileTimeText(entry.last_write);
  return true;
}

}  // namespace sysutil
}  // namespace mirl
