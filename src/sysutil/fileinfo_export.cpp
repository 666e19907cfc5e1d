#include <cstring>
#include <string>

#include "exports/sysutil_api.h"
#include "session/export_frame.h"
#include "logging/log.h"
#include "sysutil/file_report.h"
#include "sysutil/free_space.h"
#include "sysutil/search_pattern.h"

namespace {
const char* const kName = "fileinfo";
}  // namespace

MIRL_API int fileinfo(const char* path, char* text, double* size, int* free_space) {
  using namespace mirl;
  using namespace mirl::sysutil;
  return run_guarded(
      [&]() -> int {
        log_entering(kName);
        if (path == nullptr) return log_returned(kName, -861);
        if (text == nullptr) return log_returned(kName, -862);
        if (size == nullptr) return log_returned(kName, -863);
        if (free_space == nullptr) return log_returned(kName, -864);
        std::string pattern;
        if (!BuildSearchPattern(path, &pattern)) return -866;
        *size = 0;
        *free_space = FreeSpaceMillions(pattern);
        FileReport report;
        if (!ReportFiles(pattern, &report)) return -865;
        std::memcpy(text, report.text.c_str(), report.text.size() + 1);
        *size = report.size_millions;
        return 1;
      },
      -860);
}
