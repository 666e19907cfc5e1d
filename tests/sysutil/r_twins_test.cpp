// The R_ twins as R's .C calls them: through the loaded library, every
// string as a pointer to a string pointer, the result stored and returned.
#include <string>

#include <gtest/gtest.h>

#include "exports/sysutil_api.h"
#include "support/loaded_library.h"
#include "sysutil_fixture.h"

namespace {

using RFileinfo = int (*)(int*, char**, char**, double*, int*);
using RShortpath = int (*)(int*, char**, char**);
using RComputername = int (*)(int*, char**);

class RTwinsTest : public mirl_test::FilesFixture {
 protected:
  RTwinsTest() : cwd_(dir_.path()) {}
  mirl_test::ScopedCwd cwd_;
  mirl_test::LoadedLibrary lib_;
  RFileinfo r_fileinfo_ = lib_.find<RFileinfo>("R_fileinfo");
  RShortpath r_shortpath_ = lib_.find<RShortpath>("R_shortpath");
  RComputername r_computername_ = lib_.find<RComputername>("R_computername");
};

TEST_F(RTwinsTest, FileinfoPassesTheFirstStringsAndStoresTheCode) {
  ASSERT_NE(r_fileinfo_, nullptr);
  MakeFile("f", 2500000);
  std::string path = "f", text(25, ' ');
  char* paths[] = {&path[0]};
  char* texts[] = {&text[0]};
  double size = 0;
  int free_space = -1;
  int result = 0;
  EXPECT_EQ(r_fileinfo_(&result, paths, texts, &size, &free_space), 1);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(size, 2.5);
  EXPECT_EQ(std::string(text.c_str()).size(), 25u);

  std::string missing = "missing";
  char* missing_paths[] = {&missing[0]};
  EXPECT_EQ(r_fileinfo_(&result, missing_paths, texts, &size, &free_space), -865);
  EXPECT_EQ(result, -865);
}

TEST_F(RTwinsTest, EmptyStringVectorsGetTheNullCodes) {
  ASSERT_NE(r_fileinfo_, nullptr);
  ASSERT_NE(r_shortpath_, nullptr);
  ASSERT_NE(r_computername_, nullptr);
  std::string path = "f", text(25, ' ');
  char* paths[] = {&path[0]};
  double size = 0;
  int free_space = 0;
  int result = 0;
  EXPECT_EQ(r_fileinfo_(&result, nullptr, paths, &size, &free_space), -861);
  EXPECT_EQ(result, -861);
  EXPECT_EQ(r_fileinfo_(&result, paths, nullptr, &size, &free_space), -862);
  EXPECT_EQ(result, -862);
  EXPECT_EQ(r_shortpath_(&result, nullptr, paths), -881);
  EXPECT_EQ(r_shortpath_(&result, paths, nullptr), -882);
  EXPECT_EQ(result, -882);
  EXPECT_EQ(r_computername_(&result, nullptr), -541);
  EXPECT_EQ(result, -541);
  EXPECT_EQ(r_computername_(nullptr, nullptr), -541);
}

TEST_F(RTwinsTest, ShortpathAndComputernameStoreWhatTheyReturn) {
  ASSERT_NE(r_shortpath_, nullptr);
  ASSERT_NE(r_computername_, nullptr);
  MakeFile("g", 1);
  std::string path = "g", out(258, ' '), name(15, ' ');
  char* paths[] = {&path[0]};
  char* outs[] = {&out[0]};
  char* names[] = {&name[0]};
  int result = 0;
  EXPECT_EQ(r_shortpath_(&result, paths, outs), 1);
  EXPECT_EQ(result, 1);
  std::string direct(258, ' ');
  ASSERT_EQ(shortpath("g", &direct[0]), 1);
  EXPECT_EQ(std::string(out.c_str()), std::string(direct.c_str()));
  EXPECT_EQ(r_computername_(&result, names), 1);
  EXPECT_EQ(result, 1);
  EXPECT_FALSE(std::string(name.c_str()).empty());
}

}  // namespace
