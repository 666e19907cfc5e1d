#include <string>

#include <gtest/gtest.h>

#include "exports/sysutil_api.h"
#include "sysutil_fixture.h"

extern "C" void sysutil_c_null_codes(int codes[6]);
extern "C" int sysutil_c_fileinfo(const char* path, char* text, double* size, int* free_space);

namespace {

TEST(SysutilCApiTest, NullArgumentCodesFromC) {
  int codes[6] = {};
  sysutil_c_null_codes(codes);
  EXPECT_EQ(codes[0], -861);
  EXPECT_EQ(codes[1], -862);
  EXPECT_EQ(codes[2], -863);
  EXPECT_EQ(codes[3], -864);
  EXPECT_EQ(codes[4], -881);
  EXPECT_EQ(codes[5], -541);
}

class SysutilCFileTest : public mirl_test::FilesFixture {};

TEST_F(SysutilCFileTest, FileinfoFromC) {
  const std::string f = MakeFile("c.bin", 1250000);
  char text[MIRL_FILEINFO_TEXT_BYTES] = "";
  double size = 0;
  int free_space = -1;
  EXPECT_EQ(sysutil_c_fileinfo(f.c_str(), text, &size, &free_space), 1);
  EXPECT_EQ(size, 1.25);
  EXPECT_GE(free_space, 0);
  EXPECT_EQ(std::string(text).size(), 25u);
}

}  // namespace
