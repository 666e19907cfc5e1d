// The R_ twins of the built library, reached as R reaches them: through the
// dynamic symbol table of mirl_lib.so, with every argument a pointer.
#include <gtest/gtest.h>

#include "support/loaded_library.h"
#include "support/temp_dir.h"

namespace {

class RTwinTest : public ::testing::Test {
 protected:
  RTwinTest() : cwd_(dir_.path()) {}
  ~RTwinTest() override { lib_.find<void (*)()>("clean_up")(); }

  template <typename F>
  F Find(const char* name) {
    F f = lib_.find<F>(name);
    EXPECT_NE(f, nullptr) << name;
    return f;
  }

  mirl_test::TempDir dir_;
  mirl_test::ScopedCwd cwd_;
  mirl_test::LoadedLibrary lib_;
};

TEST_F(RTwinTest, GridinitStoresAndReturnsTheSameCode) {
  auto twin = Find<int (*)(int*, int*, char**, int*, int*)>("R_gridinit");
  int result = 0, mode = 3, port = 0, log = 0;
  char host[] = "host";
  char* names[] = {host};
  EXPECT_EQ(twin(&result, &mode, names, &port, &log), -621);
  EXPECT_EQ(result, -621);
  mode = 1;
  EXPECT_EQ(twin(&result, &mode, nullptr, &port, &log), -622);
  EXPECT_EQ(result, -622);
  EXPECT_EQ(twin(nullptr, &mode, nullptr, &port, &log), -622);
  EXPECT_EQ(twin(&result, nullptr, names, &port, &log), -620);
  EXPECT_EQ(result, -620);
}

TEST_F(RTwinTest, NullScalarPointersGiveTheRoundCodeInsteadOfACrash) {
  int result = 0;
  char name[] = "g";
  char* names[] = {name};
  double cells[1] = {0};
  int ints[1] = {0};
  EXPECT_EQ(Find<int (*)(int*, char**, double*, double*)>("R_readgrid_dbl")(&result, names,
                                                                            nullptr, cells),
            -660);
  EXPECT_EQ(result, -660);
  EXPECT_EQ(Find<int (*)(int*, char**, int*, int*, int*, int*)>("R_writegrid_int")(
                &result, names, nullptr, nullptr, nullptr, ints),
            -680);
  EXPECT_EQ(Find<int (*)(int*, char**, int*, int*, int*, int*, int*, int*, int*)>(
                "R_readblock_int")(&result, names, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, ints),
            -700);
  EXPECT_EQ(Find<int (*)(int*, char**, int*, int*, int*, int*, double*, double*, int*)>(
                "R_writeblock_dbl")(&result, names, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    cells, nullptr),
            -720);
  EXPECT_EQ(Find<int (*)(int*, char**, int*)>("R_gridcreate")(&result, names, nullptr), -800);
}

TEST_F(RTwinTest, TwinsPassTheirArgumentsInOrder) {
  int result = 0;
  char name[] = "g";
  char* names[] = {name};
  int y = 1, x = 1, rows = 0, cols = 5, buffer = 0, missing = 0, mode = 0;
  int ints[5] = {0};
  // Each call fails on exactly the argument a swap would move.
  EXPECT_EQ(Find<int (*)(int*, char**, int*, int*, int*, int*)>("R_writegrid_int")(
                &result, names, &rows, &cols, &missing, ints),
            -683);
  EXPECT_EQ(Find<int (*)(int*, char**, int*, int*, int*, int*, int*, int*, int*)>(
                "R_readblock_int")(&result, names, &y, &x, &cols, &rows, &buffer, &missing, ints),
            -705);
  mode = 5;
  rows = 1;
  EXPECT_EQ(Find<int (*)(int*, char**, int*, int*, int*, int*, int*, int*, int*)>(
                "R_writeblock_int")(&result, names, &y, &x, &rows, &cols, &missing, ints, &mode),
            -727);
  EXPECT_EQ(result, -727);
  char* none[] = {nullptr};
  EXPECT_EQ(Find<int (*)(int*, char**, char**)>("R_gridcopy")(&result, names, none), -782);
  EXPECT_EQ(Find<int (*)(int*)>("R_gridserver_retire")(&result), -630);
  EXPECT_EQ(result, -630);
}

}  // namespace
