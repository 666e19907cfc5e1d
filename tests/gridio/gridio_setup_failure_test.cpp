// GridIOSetup's result when its own work fails: the binding takes any
// non-zero result for "set up", so a failure must read 0, never one of the
// negative codes the other entry points return.
#include <cpl_conv.h>
#include <cpl_error.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "avgridio.h"

// AddressSanitizer brings its own allocator, which a replaced operator new
// would split in two; the test runs in the ordinary build only.
#if !defined(__SANITIZE_ADDRESS__)

namespace {
// Allocations through operator new left before one is refused; negative:
// none is refused.
std::atomic<int> g_allocations_before_failure{-1};
}  // namespace

// The replacement pair allocates from and frees to the C heap.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  if (g_allocations_before_failure.load() >= 0 && g_allocations_before_failure.fetch_sub(1) == 0)
    throw std::bad_alloc();
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

int g_host_errors = 0;
void CountingHandler(CPLErr, CPLErrorNum, const char*) { ++g_host_errors; }

TEST(GridIOSetupTest, AnAllocationFailureInsideTheSetUpReadsAsNotSetUp) {
  // A thread setting longer than a short string's inline buffer makes the
  // entry frame allocate, before any GDAL call, when it saves the setting.
  CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", "a setting long enough to need the heap");
  g_host_errors = 0;
  g_allocations_before_failure = 0;
  const int refused = GridIOSetup();
  g_allocations_before_failure = -1;
  EXPECT_EQ(refused, 0);
  // Nothing of the failed call stayed behind: the thread's setting is intact
  // and the next set-up succeeds.
  EXPECT_STREQ(CPLGetThreadLocalConfigOption("GDAL_PAM_ENABLED", nullptr),
               "a setting long enough to need the heap");
  CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", nullptr);
  CPLErrorHandler previous = CPLSetErrorHandler(CountingHandler);
  CPLError(CE_Warning, CPLE_AppDefined, "reaches the host's handler, not a leftover quiet one");
  CPLSetErrorHandler(previous);
  EXPECT_EQ(g_host_errors, 1);
  EXPECT_EQ(GridIOSetup(), 1);
}

}  // namespace

#endif  // !defined(__SANITIZE_ADDRESS__)
