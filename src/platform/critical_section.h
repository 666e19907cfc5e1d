// A process-local lock with the semantics of a Windows critical section: the
// thread that holds it may enter it again (each Enter needs its own Leave),
// and other threads wait in Enter until it is free.
//
// Lifetime: the lock must not be destroyed while a thread holds it or waits
// for it. Not copyable.
// Thread safety: Enter and Leave may be called from any thread; Leave only by
// the thread that entered.
#ifndef MIRL_PLATFORM_CRITICAL_SECTION_H_
#define MIRL_PLATFORM_CRITICAL_SECTION_H_

#include <memory>

namespace mirl {
namespace platform {

class CriticalSection {
 public:
  CriticalSection();
  ~CriticalSection();
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter();
  void Leave();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_CRITICAL_SECTION_H_
