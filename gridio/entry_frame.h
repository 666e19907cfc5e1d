// The frame of every entry point: the library lock, GDAL kept quiet and
// without side files for the length of the call, and every failure turned
// into a GIO_ code.
//
// Thread safety: RunEntry serialises all entry points on one process-wide
// mutex, so a GDAL dataset handle is never used by two threads at once.
#ifndef GRIDIO_ENTRY_FRAME_H_
#define GRIDIO_ENTRY_FRAME_H_

#include <mutex>
#include <new>
#include <string>

#include "avgridio.h"
#include "gio_error.h"

namespace gridio {

// The library lock.
std::mutex& LibraryMutex();

// Entry calls are numbered from 1 as they take the lock: the number of the
// one running, and the step to the next.
unsigned long EntryCall();
void CountEntryCall();

// While alive on a thread: GDAL errors are not printed (they stay readable
// through CPLGetLastErrorType) and GDAL writes no .aux.xml side files. Both
// settings are the calling thread's own, so a host using GDAL itself (R's
// terra) keeps its behaviour.
class QuietGdalScope {
 public:
  QuietGdalScope();
  ~QuietGdalScope();
  QuietGdalScope(const QuietGdalScope&) = delete;
  QuietGdalScope& operator=(const QuietGdalScope&) = delete;

 private:
  bool had_pam_option_;
  std::string pam_option_;
};

// Only GDAL's error messages silenced: for the row calls, which open and
// close nothing (GDAL decides about side files when a dataset is opened,
// closed or asked for statistics), and run thousands of times per layer.
class QuietGdalErrors {
 public:
  QuietGdalErrors();
  ~QuietGdalErrors();
  QuietGdalErrors(const QuietGdalErrors&) = delete;
  QuietGdalErrors& operator=(const QuietGdalErrors&) = delete;
};

// Runs work() under the lock and Scope; returns its result, or the code of a
// GioError, GIO_ERR_MEMORY for an allocation failure and GIO_ERR_INTERNAL
// for anything else.
template <typename Scope = QuietGdalScope, typename Work>
int RunEntry(Work&& work) noexcept {
  try {
    std::lock_guard<std::mutex> lock(LibraryMutex());
    CountEntryCall();
    Scope quiet;
    return work();
  } catch (const GioError& error) {
    return error.code();
  } catch (const std::bad_alloc&) {
    return GIO_ERR_MEMORY;
  } catch (...) {
    return GIO_ERR_INTERNAL;
  }
}

// The frame of the row and window calls.
template <typename Work>
int RunRowEntry(Work&& work) noexcept {
  return RunEntry<QuietGdalErrors>(static_cast<Work&&>(work));
}

}  // namespace gridio

#endif  // GRIDIO_ENTRY_FRAME_H_
