// A cap on the address space of the calling process, for tests that make an
// allocation fail on purpose (run them in a death-test child, since the cap
// cannot be lifted again).
#ifndef MIRL_TESTS_SUPPORT_ADDRESS_LIMIT_H_
#define MIRL_TESTS_SUPPORT_ADDRESS_LIMIT_H_

#include <cstddef>

namespace mirl_test {

// True where the platform can cap a process's address space (POSIX
// RLIMIT_AS) and the cap holds: Windows has no such per-process limit that
// Wine enforces, and qemu's user mode ignores it.
bool CanLimitAddressSpace();

// Caps the address space at what the process maps now plus extra_bytes.
void LimitAddressSpace(std::size_t extra_bytes);

}  // namespace mirl_test

#endif  // MIRL_TESTS_SUPPORT_ADDRESS_LIMIT_H_
