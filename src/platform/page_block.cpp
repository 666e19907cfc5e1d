#include "platform/page_block.h"

#include <utility>

namespace mirl {
namespace platform {

// The constructor and Release, which ask the system, are in the platform's
// own file.

PageBlock::~PageBlock() { Release(); }

PageBlock::PageBlock(PageBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

PageBlock& PageBlock::operator=(PageBlock&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

}  // namespace platform
}  // namespace mirl
