// Putting a finished file in place so that it is seen complete or not at
// all: it is renamed over its target in one atomic step, so a process that
// dies at any moment leaves either the old target or the new one. Forcing
// the data to the disk first, against power loss, is PartialFile's
// (partial_file.h). The OS calls live in durable_file_posix.cpp.
#ifndef GRIDIO_DURABLE_FILE_H_
#define GRIDIO_DURABLE_FILE_H_

#include <string>

namespace gridio {

// Renames file over target (an existing target is replaced), creating
// target's directory when missing. False (file left as it was) on failure.
bool CommitFile(const std::string& file, const std::string& target);

// This process's id, to keep temporary names of concurrent processes apart.
long CurrentProcessId();

}  // namespace gridio

#endif  // GRIDIO_DURABLE_FILE_H_
