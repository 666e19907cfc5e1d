#include "platform/critical_section.h"

#include <pthread.h>

#include <stdexcept>

namespace mirl {
namespace platform {

struct CriticalSection::Impl {
  pthread_mutex_t mutex;
};

CriticalSection::CriticalSection() : impl_(new Impl) {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  // Re-entrant like a Windows critical section.
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  const int rc = pthread_mutex_init(&impl_->mutex, &attr);
  pthread_mutexattr_destroy(&attr);
  if (rc != 0) throw std::runtime_error("critical section cannot be initialised");
}

CriticalSection::~CriticalSection() { pthread_mutex_destroy(&impl_->mutex); }

void CriticalSection::Enter() { pthread_mutex_lock(&impl_->mutex); }

void CriticalSection::Leave() { pthread_mutex_unlock(&impl_->mutex); }

}  // namespace platform
}  // namespace mirl
