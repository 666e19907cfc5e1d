// getpid is reached only through the loaded library, as R reaches it: this
// program must not contain the export itself.
#include <dlfcn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "support/loaded_library.h"

namespace {

using GetPid = int (*)();
using RGetPid = int (*)(int*);

int KernelPid() { return static_cast<int>(syscall(SYS_getpid)); }

std::string ObjectOf(void* symbol) {
  Dl_info info;
  if (symbol == nullptr || dladdr(symbol, &info) == 0 || info.dli_fname == nullptr) return "";
  return info.dli_fname;
}

class GetPidTest : public ::testing::Test {
 protected:
  mirl_test::LoadedLibrary lib_;
  GetPid lib_getpid_ = lib_.find<GetPid>("getpid");
  RGetPid r_getpid_ = lib_.find<RGetPid>("R_getpid");
};

TEST_F(GetPidTest, TheLibraryExportsItsOwnGetpid) {
  ASSERT_NE(lib_getpid_, nullptr);
  ASSERT_NE(r_getpid_, nullptr);
  EXPECT_TRUE(
      boost::filesystem::equivalent(ObjectOf(reinterpret_cast<void*>(lib_getpid_)), MIRL_LIB_PATH));
  // The process at large still finds the C library's, not this program's.
  void* process_getpid = dlsym(RTLD_DEFAULT, "getpid");
  EXPECT_NE(process_getpid, reinterpret_cast<void*>(lib_getpid_));
  EXPECT_NE(ObjectOf(process_getpid).find("libc"), std::string::npos);
}

TEST_F(GetPidTest, ExportAndTwinGiveTheTrueProcessId) {
  ASSERT_NE(lib_getpid_, nullptr);
  ASSERT_NE(r_getpid_, nullptr);
  EXPECT_EQ(lib_getpid_(), KernelPid());
  int result = 0;
  EXPECT_EQ(r_getpid_(&result), KernelPid());
  EXPECT_EQ(result, KernelPid());
  EXPECT_EQ(r_getpid_(nullptr), KernelPid());
  // Loading the library changed nothing for the rest of the process.
  EXPECT_EQ(::getpid(), KernelPid());
}

TEST_F(GetPidTest, AForkedChildGetsItsOwnId) {
  ASSERT_NE(lib_getpid_, nullptr);
  const int parent = KernelPid();
  EXPECT_EQ(lib_getpid_(), parent);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int stored = 0;
    const bool ok = lib_getpid_() == KernelPid() && lib_getpid_() != parent &&
                    r_getpid_(&stored) == KernelPid() && stored == KernelPid();
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
