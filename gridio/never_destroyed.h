// Storage for a process-wide object that is built on first use and never
// destroyed, held inside the library's own image rather than on the heap, so
// that nothing is left behind when the library is unloaded and loaded again.
#ifndef GRIDIO_NEVER_DESTROYED_H_
#define GRIDIO_NEVER_DESTROYED_H_

#include <new>

namespace gridio {

template <typename T>
class NeverDestroyed {
 public:
  NeverDestroyed() { new (storage_) T(); }
  NeverDestroyed(const NeverDestroyed&) = delete;
  NeverDestroyed& operator=(const NeverDestroyed&) = delete;
  T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace gridio

#endif  // GRIDIO_NEVER_DESTROYED_H_
