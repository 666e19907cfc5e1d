#include <string>

#include <gtest/gtest.h>

#include "platform/wildcard_match.h"

namespace {

using mirl::platform::HasWildcard;
using mirl::platform::MatchesWildcard;

TEST(WildcardMatchTest, StarTakesAnyRunQuestionMarkExactlyOne) {
  EXPECT_TRUE(MatchesWildcard("*", ""));
  EXPECT_TRUE(MatchesWildcard("*", "anything.at.all"));
  EXPECT_TRUE(MatchesWildcard("a?c", "abc"));
  EXPECT_FALSE(MatchesWildcard("a?c", "ac"));
  EXPECT_FALSE(MatchesWildcard("a?c", "abbc"));
  EXPECT_TRUE(MatchesWildcard("a*c", "ac"));
  EXPECT_TRUE(MatchesWildcard("a*c", "abbbc"));
  EXPECT_FALSE(MatchesWildcard("a*c", "abcd"));
  EXPECT_TRUE(MatchesWildcard("??", "ab"));
  EXPECT_FALSE(MatchesWildcard("??", "abc"));
}

TEST(WildcardMatchTest, StarBacktracksPastAnEarlyFalseMatch) {
  // A matcher that commits to the first "b" after the star fails these.
  EXPECT_TRUE(MatchesWildcard("*b.txt", "abb.txt"));
  EXPECT_TRUE(MatchesWildcard("a*b*c", "aXbYbZc"));
  EXPECT_FALSE(MatchesWildcard("a*b*c", "aXbYbZ"));
  EXPECT_TRUE(MatchesWildcard("*.asc", "grid.v2.asc"));
  EXPECT_FALSE(MatchesWildcard("*.asc", "grid.asc.bak"));
}

TEST(WildcardMatchTest, OtherCharactersMatchOnlyThemselves) {
  EXPECT_FALSE(MatchesWildcard("[ab]", "a"));
  EXPECT_TRUE(MatchesWildcard("[ab]", "[ab]"));
  EXPECT_FALSE(MatchesWildcard("Grid.asc", "grid.asc"));
  EXPECT_FALSE(MatchesWildcard("abc", "ab"));
  EXPECT_FALSE(MatchesWildcard("", "a"));
  EXPECT_TRUE(MatchesWildcard("", ""));
}

TEST(WildcardMatchTest, TrailingDotStarAlsoMatchesNamesWithoutIt) {
  EXPECT_TRUE(MatchesWildcard("*.*", "README"));
  EXPECT_TRUE(MatchesWildcard("*.*", "a.b"));
  EXPECT_TRUE(MatchesWildcard("data.*", "data"));
  EXPECT_TRUE(MatchesWildcard("data.*", "data.csv"));
  EXPECT_FALSE(MatchesWildcard("data.*", "database"));
  EXPECT_FALSE(MatchesWildcard("*.txt", "txt"));
}

TEST(WildcardMatchTest, ManyStarsAgainstALongNameStillFinish) {
  // Exponential in a recursive matcher; must stay quick here.
  const std::string name(2000, 'a');
  EXPECT_FALSE(MatchesWildcard("*a*a*a*a*a*a*a*a*a*a*a*a*b", name));
  EXPECT_TRUE(MatchesWildcard("*a*a*a*a*a*a*a*a*a*a*a*a*", name));
}

TEST(WildcardMatchTest, HasWildcardSeesEitherCharacter) {
  EXPECT_TRUE(HasWildcard("dir/*.txt"));
  EXPECT_TRUE(HasWildcard("a?"));
  EXPECT_FALSE(HasWildcard("dir/file.txt"));
  EXPECT_FALSE(HasWildcard(""));
}

}  // namespace
