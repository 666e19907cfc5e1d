// computername's copy of the system's name into a caller's fixed field.
//
// Thread safety: pure function.
#ifndef MIRL_SYSUTIL_COMPUTER_NAME_H_
#define MIRL_SYSUTIL_COMPUTER_NAME_H_

#include <string>

namespace mirl {
namespace sysutil {

// Writes name into buffer, cut to its first kComputerNameBytes - 1 bytes
// (15, the length of a Windows computer name) and terminated, and returns 1.
// An empty name means the system could not tell it: buffer then receives an
// empty string and the result is -542. Never writes more than
// kComputerNameBytes bytes.
int StoreComputerName(const std::string& name, char* buffer);

}  // namespace sysutil
}  // namespace mirl

#endif  // MIRL_SYSUTIL_COMPUTER_NAME_H_
