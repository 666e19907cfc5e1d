#include "support/address_limit.h"

namespace mirl_test {

bool CanLimitAddressSpace() { return false; }

void LimitAddressSpace(std::size_t) {}

}  // namespace mirl_test
