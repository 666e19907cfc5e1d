#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "exports/sysutil_api.h"
#include "sysutil_fixture.h"

namespace {

using mirl_test::GuardedBuffer;

constexpr std::size_t kLeast = MIRL_SHORTPATH_BYTES - 1;  // characters the caller must show

struct Short {
  int code;
  std::string text;
  bool guard_intact;
};

class ShortPathTest : public mirl_test::FilesFixture {
 protected:
  ShortPathTest() : cwd_(dir_.path()) {}

  // Calls shortpath with a buffer of exactly `shown` + 1 bytes holding
  // `shown` blanks, as R hands one over.
  static Short Call(const std::string& path, std::size_t shown = kLeast) {
    GuardedBuffer out(shown + 1, std::string(shown, ' '));
    const int code = shortpath(path.c_str(), out.data());
    return {code, out.str(), out.GuardIntact()};
  }
  static std::string Canonical(const std::string& path) {
    return boost::filesystem::canonical(path).string();
  }

  mirl_test::ScopedCwd cwd_;
};

TEST_F(ShortPathTest, ExistingPathGivesItsCanonicalAbsoluteForm) {
  MakeDir("a/b");
  MakeFile("a/b/file", 3);
  const std::string expected = Canonical(dir_.file("a/b/file"));
  for (const std::string& path : {std::string("a/b/file"), std::string("a/./b/../b/file"),
                                  std::string("a\\b\\file"), dir_.file("a/b/file")}) {
    const Short s = Call(path);
    EXPECT_EQ(s.code, 1) << path;
    EXPECT_EQ(s.text, expected) << path;
    EXPECT_TRUE(s.guard_intact);
  }
  ASSERT_EQ(symlink("a/b", dir_.file("link").c_str()), 0);
  EXPECT_EQ(Call("link/file").text, expected);
  EXPECT_EQ(Call("a").text, Canonical(dir_.file("a")));
}

TEST_F(ShortPathTest, MissingPathGivesMinus883AndLeavesTheBuffer) {
  for (const std::string& path :
       {std::string("nothing"), std::string("a/nothing"), std::string("")}) {
    const Short s = Call(path);
    EXPECT_EQ(s.code, -883) << path;
    EXPECT_EQ(s.text, std::string(kLeast, ' '));
  }
}

TEST_F(ShortPathTest, BufferShowingFewerThan258CharactersIsRefused) {
  MakeFile("f", 1);
  EXPECT_EQ(Call("f", kLeast - 1).code, -885);
  EXPECT_EQ(Call("f", 0).code, -885);
  EXPECT_EQ(Call("f", kLeast - 1).text, std::string(kLeast - 1, ' '));
  EXPECT_EQ(Call("f", kLeast).code, 1);
  EXPECT_EQ(Call("f", kLeast + 100).code, 1);
  // The buffer rule comes before the system is asked.
  EXPECT_EQ(Call("nothing", 10).code, -885);
}

TEST_F(ShortPathTest, NullArgumentsAreRefusedInOrder) {
  char out[MIRL_SHORTPATH_BYTES] = "x";
  EXPECT_EQ(shortpath(nullptr, nullptr), -881);
  EXPECT_EQ(shortpath(nullptr, out), -881);
  EXPECT_EQ(shortpath("f", nullptr), -882);
  EXPECT_STREQ(out, "x");
}

TEST_F(ShortPathTest, ShortFormOf258CharactersFitsAnd259IsRefused) {
  // Directories whose canonical names are exactly 258 and 259 characters long.
  const std::string base = Canonical(dir_.str());
  ASSERT_LT(base.size() + 2, 258u);
  const std::string fits = base + "/" + std::string(258 - base.size() - 1, 'f');
  const std::string over = base + "/" + std::string(259 - base.size() - 1, 'o');
  ASSERT_TRUE(boost::filesystem::create_directory(fits));
  ASSERT_TRUE(boost::filesystem::create_directory(over));
  ASSERT_EQ(fits.size(), 258u);

  const Short ok = Call(fits);
  EXPECT_EQ(ok.code, 1);
  EXPECT_EQ(ok.text, fits);
  EXPECT_TRUE(ok.guard_intact);  // 259 bytes in a 259-byte buffer

  const Short refused = Call(over);
  EXPECT_EQ(refused.code, -884);
  EXPECT_EQ(refused.text, std::string(kLeast, ' '));
  EXPECT_TRUE(refused.guard_intact);
  // A short relative name does not help: the canonical form is what counts.
  EXPECT_EQ(Call(over.substr(base.size() + 1)).code, -884);
}

}  // namespace
