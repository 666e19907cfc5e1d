// A block of memory taken straight from the system in whole pages, every
// byte zero, and left untouched: the system charges it to the process's
// commitment at once but backs each page with physical memory only when it
// is first touched, so a large block costs neither time nor resident memory
// until it is used. It stays the process's until the PageBlock goes.
//
// Thread safety: a PageBlock is a value owned by one thread at a time.
#ifndef MIRL_PLATFORM_PAGE_BLOCK_H_
#define MIRL_PLATFORM_PAGE_BLOCK_H_

#include <cstddef>

namespace mirl {
namespace platform {

class PageBlock {
 public:
  PageBlock() = default;
  // bytes zero bytes (none for 0). Throws std::bad_alloc when the system
  // refuses them.
  explicit PageBlock(std::size_t bytes);
  ~PageBlock();
  PageBlock(PageBlock&& other) noexcept;
  PageBlock& operator=(PageBlock&& other) noexcept;
  PageBlock(const PageBlock&) = delete;
  PageBlock& operator=(const PageBlock&) = delete;

  void* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void Release() noexcept;

  void* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace platform
}  // namespace mirl

#endif  // MIRL_PLATFORM_PAGE_BLOCK_H_
