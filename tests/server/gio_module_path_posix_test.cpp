#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <boost/filesystem.hpp>

#include "platform/module_path.h"
#include "support/temp_dir.h"

namespace {

namespace fs = boost::filesystem;

using ProbeFn = const char* (*)();

TEST(GioModulePathTest, ProgramReportsTheDirectoryOfItsExecutable) {
  const fs::path exe = fs::read_symlink("/proc/self/exe");
  EXPECT_EQ(mirl::platform::ModuleDirectory(), exe.parent_path().string());
}

TEST(GioModulePathTest, SharedLibraryReportsItsOwnDirectory) {
  void* probe = dlopen(MIRL_MODULE_PROBE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(probe, nullptr) << dlerror();
  auto directory = reinterpret_cast<ProbeFn>(dlsym(probe, "ProbeModuleDirectory"));
  ASSERT_NE(directory, nullptr);
  EXPECT_EQ(std::string(directory()),
            fs::canonical(fs::path(MIRL_MODULE_PROBE).parent_path()).string());
  dlclose(probe);
}

TEST(GioModulePathTest, LibraryLoadedByARelativePathKeepsItsDirectoryAfterChdir) {
  const fs::path probe_path(MIRL_MODULE_PROBE);
  mirl_test::TempDir elsewhere;
  void* probe = nullptr;
  {
    mirl_test::ScopedCwd cwd(probe_path.parent_path());
    probe = dlopen(("./" + probe_path.filename().string()).c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  ASSERT_NE(probe, nullptr) << dlerror();
  mirl_test::ScopedCwd cwd(elsewhere.path());
  auto directory = reinterpret_cast<ProbeFn>(dlsym(probe, "ProbeModuleDirectory"));
  ASSERT_NE(directory, nullptr);
  EXPECT_EQ(std::string(directory()), fs::canonical(probe_path.parent_path()).string());
  dlclose(probe);
}

}  // namespace
