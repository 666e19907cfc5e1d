// Where ModuleDirectory says the running code was loaded from, compared
// with what Windows itself reports for the program and for a loaded DLL.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/module_path.h"
#include "support/temp_dir.h"

namespace {

using ProbeFn = const char* (*)();

std::string DirectoryOf(const std::string& file) {
  return file.substr(0, file.find_last_of("\\/"));
}

std::string ModuleFile(HMODULE module) {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
  return std::string(path, n);
}

TEST(GioModulePathTest, ProgramReportsTheDirectoryOfItsExecutable) {
  const std::string expected = DirectoryOf(ModuleFile(nullptr));
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(mirl::platform::ModuleDirectory(), expected);
}

TEST(GioModulePathTest, DllReportsItsOwnDirectoryNotTheProgramsEvenAfterAChangeOfDirectory) {
  HMODULE probe = LoadLibraryA(MIRL_MODULE_PROBE);
  ASSERT_NE(probe, nullptr) << GetLastError();
  auto directory = reinterpret_cast<ProbeFn>(
      reinterpret_cast<void*>(GetProcAddress(probe, "ProbeModuleDirectory")));
  ASSERT_NE(directory, nullptr);
  const std::string expected = DirectoryOf(ModuleFile(probe));
  EXPECT_NE(expected, DirectoryOf(ModuleFile(nullptr)));
  EXPECT_EQ(std::string(directory()), expected);
  mirl_test::TempDir elsewhere;
  mirl_test::ScopedCwd cwd(elsewhere.path());
  EXPECT_EQ(std::string(directory()), expected);
  FreeLibrary(probe);
}

}  // namespace
