// Shared verbs of the binding's tests: where the real and the fake grid
// libraries are, a handle that keeps a fake mapped so its counters can be
// read after the binding let go of it, a recorder of debugger output, and a
// fixture that leaves the process-wide binding state as a fresh process has
// it.
#ifndef MIRL_TESTS_SERVER_GIO_TEST_SUPPORT_H_
#define MIRL_TESTS_SERVER_GIO_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/debug_output.h"
#include "platform/dynamic_library.h"
#include "server/gio_state.h"

namespace gio_test {

inline std::string RealLibraryDir() { return MIRL_BINARY_DIR "/lib"; }
// The real grid I/O library needs GDAL and is built only where GDAL is (not
// for Windows); the tests that read and write grids through it skip without.
constexpr bool kHaveRealLibrary = MIRL_HAVE_GRIDIO != 0;
#define MIRL_SKIP_WITHOUT_REAL_LIBRARY() \
  if (!gio_test::kHaveRealLibrary) GTEST_SKIP() << "no grid I/O library built for this platform"
inline std::string FakeDir(const std::string& variant) {
  return std::string(MIRL_FAKE_GRIDIO_DIR) + "/fake_" + variant;
}

// The fake library of a folder, opened by the test itself.
class FakeLibrary {
 public:
  explicit FakeLibrary(const std::string& variant, const std::string& base_name = "avgridio")
      : handle_(mirl::platform::LoadDynamicLibrary(FakeDir(variant) + "/" + base_name +
                                                   mirl::platform::kLibrarySuffix)) {}
  ~FakeLibrary() { mirl::platform::UnloadDynamicLibrary(handle_); }
  FakeLibrary(const FakeLibrary&) = delete;
  FakeLibrary& operator=(const FakeLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  int SetupCalls() const { return Call<int (*)()>("FakeSetupCalls")(); }
  int ExitCalls() const { return Call<int (*)()>("FakeExitCalls")(); }
  void SteerWindow(int set_result, int rows, int cols) const {
    Call<void (*)(int, int, int)>("FakeSteerWindow")(set_result, rows, cols);
  }

 private:
  template <typename F>
  F Call(const char* name) const {
    return reinterpret_cast<F>(mirl::platform::FindLibrarySymbol(handle_, name));
  }
  void* handle_;
};

// Collects debugger output lines while alive.
class TraceRecorder {
 public:
  TraceRecorder() { mirl::platform::SetDebugSink(&TraceRecorder::Sink, this); }
  ~TraceRecorder() { mirl::platform::SetDebugSink(nullptr, nullptr); }
  std::vector<std::string> lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }

 private:
  static void Sink(const std::string& text, void* context) {
    TraceRecorder* self = static_cast<TraceRecorder*>(context);
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->lines_.push_back(text);
  }
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

// Every test starts and ends with no library bound and no window.
class GioStateTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetWindowAndMarkers(); }
  void TearDown() override {
    grd_svr::GIOState& state = grd_svr::GioState();
    EXPECT_EQ(state.binding_count, 0) << "a test left a CGIO alive";
    EXPECT_EQ(state.module, nullptr);
    ResetWindowAndMarkers();
    state.load_report.clear();
  }
  static void ResetWindowAndMarkers() {
    grd_svr::GIOState& state = grd_svr::GioState();
    state.window = grd_svr::AccessWindow();
    state.missing_float = 0.0f;
    state.missing_int = 0;
  }
};

}  // namespace gio_test

#endif  // MIRL_TESTS_SERVER_GIO_TEST_SUPPORT_H_
