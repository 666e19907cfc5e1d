// fileinfo's search pattern: the caller's path, with "*" added when it ends
// in a separator ("/" or "\"), so that a directory given as "dir/" is
// searched for its files.
//
// Thread safety: pure function.
#ifndef MIRL_SYSUTIL_SEARCH_PATTERN_H_
#define MIRL_SYSUTIL_SEARCH_PATTERN_H_

#include <string>

namespace mirl {
namespace sysutil {

// Stores the pattern for path (a zero-terminated string) and returns true,
// or returns false when the pattern would be longer than kMaxPatternLength.
// Reads no more of path than that limit needs, however long path is.
bool BuildSearchPattern(const char* path, std::string* pattern);

}  // namespace sysutil
}  // namespace mirl

#endif  // MIRL_SYSUTIL_SEARCH_PATTERN_H_
