#include "platform/page_block.h"

#include <windows.h>

#include <new>

namespace mirl {
namespace platform {

PageBlock::PageBlock(std::size_t bytes) {
  if (bytes == 0) return;
  // Committed pages are charged to the commit limit at once and read as
  // zero; physical memory backs each only when it is first touched.
  void* data = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (data == nullptr) throw std::bad_alloc();
  data_ = data;
  size_ = bytes;
}

void PageBlock::Release() noexcept {
  if (data_ != nullptr) VirtualFree(data_, 0, MEM_RELEASE);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace platform
}  // namespace mirl
