// What every export shares at its C boundary: running the work with every
// exception turned into one of the export's codes.
#ifndef MIRL_SESSION_EXPORT_FRAME_H_
#define MIRL_SESSION_EXPORT_FRAME_H_

#include <new>

namespace mirl {

// Returns work()'s code; an allocation failure gives alloc_failure_code,
// any other exception other_failure_code. Nothing escapes.
template <typename Work>
int run_guarded(Work&& work, int alloc_failure_code, int other_failure_code) noexcept {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    return alloc_failure_code;
  } catch (...) {
    return other_failure_code;
  }
}

// Same, with one code for every exception.
template <typename Work>
int run_guarded(Work&& work, int failure_code) noexcept {
  return run_guarded(static_cast<Work&&>(work), failure_code, failure_code);
}

}  // namespace mirl

#endif  // MIRL_SESSION_EXPORT_FRAME_H_
