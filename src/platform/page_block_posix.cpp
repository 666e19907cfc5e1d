#include "platform/page_block.h"

#include <sys/mman.h>

#include <new>

namespace mirl {
namespace platform {

PageBlock::PageBlock(std::size_t bytes) {
  if (bytes == 0) return;
  // Anonymous private pages are zero; the mapping is charged to the
  // process's commitment (no MAP_NORESERVE), as a heap block of that size
  // would be.
  void* data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (data == MAP_FAILED) throw std::bad_alloc();
  data_ = data;
  size_ = bytes;
}

void PageBlock::Release() noexcept {
  if (data_ != nullptr) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace platform
}  // namespace mirl
