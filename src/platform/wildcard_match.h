// Matching of one file name against the last component of a search pattern,
// as Windows' FindFirstFileA does it, for platforms whose file system offers
// no such search. "*" matches any run of characters (also none), "?" exactly
// one character; every other character, "[" included, matches only itself,
// byte for byte (case matters, as it does on the file systems concerned).
// As on Windows, a pattern ending in ".*" also matches the names its part
// before ".*" matches, so "*.*" matches every name and "data.*" matches "data".
//
// Thread safety: pure function.
#ifndef MIRL_PLATFORM_WILDCARD_MATCH_H_
#define MIRL_PLATFORM_WILDCARD_MATCH_H_

#include <string>

namespace mirl {
namespace platform {

// True when name matches pattern. Time is at most proportional to the
// product of the two lengths, whatever the pattern.
bool MatchesWildcard(const std::string& pattern, const std::string& name);

// True when text holds "*" or "?".
bool HasWildcard(const std::string& text);

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_WILDCARD_MATCH_H_
