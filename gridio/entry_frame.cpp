#include "entry_frame.h"

#include <cpl_conv.h>
#include <cpl_error.h>

#include "never_destroyed.h"

namespace gridio {
namespace {
const char* const kPamOption = "GDAL_PAM_ENABLED";
// Guarded by the library lock.
unsigned long entry_calls = 0;
}  // namespace

unsigned long EntryCall() { return entry_calls; }

void CountEntryCall() { ++entry_calls; }

std::mutex& LibraryMutex() {
  // Never destroyed: an entry point may still be called while static
  // destructors run at process exit.
  static NeverDestroyed<std::mutex> mutex;
  return mutex.get();
}

QuietGdalScope::QuietGdalScope() {
  // The copy may throw; it comes first, so that a failed construction
  // leaves the thread's handlers and options as they were.
  const char* old = CPLGetThreadLocalConfigOption(kPamOption, nullptr);
  had_pam_option_ = old != nullptr;
  if (had_pam_option_) pam_option_ = old;
  CPLPushErrorHandler(CPLQuietErrorHandler);
  CPLSetThreadLocalConfigOption(kPamOption, "NO");
}

QuietGdalScope::~QuietGdalScope() {
  CPLSetThreadLocalConfigOption(kPamOption, had_pam_option_ ? pam_option_.c_str() : nullptr);
  CPLPopErrorHandler();
}

QuietGdalErrors::QuietGdalErrors() { CPLPushErrorHandler(CPLQuietErrorHandler); }

QuietGdalErrors::~QuietGdalErrors() { CPLPopErrorHandler(); }

}  // namespace gridio
