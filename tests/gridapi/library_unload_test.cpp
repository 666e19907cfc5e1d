// The grid library comes and goes with mirl_lib: a session keeps it loaded
// after clean_up, and unloading mirl_lib releases it (its GridIOExit, then
// its own unload), as R's dyn.unload does.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "support/loaded_library.h"
#include "support/temp_dir.h"

namespace {

const std::string kGridLibrary = MIRL_BINARY_DIR "/lib/avgridio.so";

bool GridLibraryMapped() {
  void* handle = dlopen(kGridLibrary.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

TEST(LibraryUnload, UnloadingMirlLibReleasesTheGridLibrary) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "libraries stay loaded under AddressSanitizer";
#endif
  ASSERT_FALSE(GridLibraryMapped());
  mirl_test::TempDir workspace;
  {
    mirl_test::LoadedLibrary lib;
    auto gridinit = lib.find<int (*)(int, const char*, int, int)>("gridinit");
    auto clean_up = lib.find<void (*)()>("clean_up");
    ASSERT_EQ(gridinit(2, workspace.str().c_str(), 0, 0), 1);
    EXPECT_TRUE(GridLibraryMapped());
    clean_up();
    EXPECT_TRUE(GridLibraryMapped()) << "sessions keep the grid library";
  }
  EXPECT_FALSE(GridLibraryMapped());
}

}  // namespace
