// Large-page advice for the message-sized blocks of the protocol (payloads,
// receive buffers, a grid's cells), given only where it pays: a block of
// a few megabytes or more, still untouched. Smaller blocks come from memory
// the allocator already has mapped and would only pay for the system call.
//
// The caller keeps owning the block; the advice changes no contents.
// Thread safety: as mirl::platform::AdviseLargePages, any thread.
#ifndef MIRL_PROTOCOL_LARGE_BLOCK_H_
#define MIRL_PROTOCOL_LARGE_BLOCK_H_

#include <cstddef>

#include "platform/memory_status.h"

namespace grd_svr {

constexpr std::size_t kLargeBlockBytes = std::size_t{4} << 20;

inline void AdviseLargeBlock(void* data, std::size_t bytes) {
  if (bytes >= kLargeBlockBytes) mirl::platform::AdviseLargePages(data, bytes);
}

}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_LARGE_BLOCK_H_
