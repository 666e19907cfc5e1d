// The commit of a finished file that must also outlast a power loss: its
// bytes are forced to the disk before it is renamed over its target
// (CommitFile, durable_file.h), and the rename itself after. Costs about
// what writing the file cost again when the file was written just before
// (its pages still dirty); nothing when they are already on the disk.
#ifndef GRIDIO_DURABLE_COMMIT_H_
#define GRIDIO_DURABLE_COMMIT_H_

#include <string>

namespace gridio {

// False (file left as it was) when file cannot be forced or renamed.
bool CommitFileDurably(const std::string& file, const std::string& target);

}  // namespace gridio

#endif  // GRIDIO_DURABLE_COMMIT_H_
