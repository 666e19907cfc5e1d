// The bytes of one request payload as they arrive. A large payload is
// mapped from the system at its whole length and backed by memory only as
// its bytes are written, so a request that has announced much and sent
// little costs next to nothing resident; a small one comes from the heap,
// which spares the system calls of a mapping for every ping.
//
// Thread safety: a value owned by one thread at a time.
#ifndef MIRL_GRIDSERVER_REQUEST_BUFFER_H_
#define MIRL_GRIDSERVER_REQUEST_BUFFER_H_

#include <cstddef>
#include <memory>

#include "platform/page_block.h"

namespace grid_server {

class RequestBuffer {
 public:
  RequestBuffer() = default;
  // bytes bytes, not initialised. Throws std::bad_alloc.
  explicit RequestBuffer(std::size_t bytes);

  char* data() const { return m_Data; }

 private:
  std::unique_ptr<char[]> m_Heap;
  mirl::platform::PageBlock m_Mapped;
  char* m_Data = nullptr;
};

}  // namespace grid_server

#endif  // MIRL_GRIDSERVER_REQUEST_BUFFER_H_
