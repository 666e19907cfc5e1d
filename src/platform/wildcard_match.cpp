#include "platform/wildcard_match.h"

#include <cstddef>

namespace mirl {
namespace platform {
namespace {

// Greedy scan that, on a mismatch, lets the most recent "*" swallow one more
// character. Earlier stars never need revisiting, which keeps this from the
// exponential blow-up of a recursive matcher.
bool MatchPlain(const std::string& pattern, std::size_t pattern_end, const std::string& name) {
  std::size_t p = 0, n = 0;
  std::size_t star = std::string::npos, star_name = 0;
  while (n < name.size()) {
    if (p < pattern_end && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern_end && pattern[p] == '*') {
      star = p++;
      star_name = n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++star_name;
    } else {
      return false;
    }
  }
  while (p < pattern_end && pattern[p] == '*') ++p;
  return p == pattern_end;
}

}  // namespace

bool MatchesWildcard(const std::string& pattern, const std::string& name) {
  if (MatchPlain(pattern, pattern.size(), name)) return true;
  const std::size_t n = pattern.size();
  return n >= 2 && pattern[n - 2] == '.' && pattern[n - 1] == '*' &&
         MatchPlain(pattern, n - 2, name);
}

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

}  // namespace platform
}  // namespace mirl
