#include "request_buffer.h"

namespace grid_server {
namespace {

// From this size on a payload is mapped; below it the heap serves it (and
// keeps what it returns for the next one, as a mapping would not).
constexpr std::size_t kMappedFrom = std::size_t{1} << 20;

}  // namespace

RequestBuffer::RequestBuffer(std::size_t bytes) {
  if (bytes >= kMappedFrom) {
    m_Mapped = mirl::platform::PageBlock(bytes);
    m_Data = static_cast<char*>(m_Mapped.data());
  } else if (bytes > 0) {
    m_Heap.reset(new char[bytes]);
    m_Data = m_Heap.get();
  }
}

}  // namespace grid_server
