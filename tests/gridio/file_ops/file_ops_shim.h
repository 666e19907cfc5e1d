// An interposed file layer for the durability tests: this test program
// defines the C library's pwrite, ftruncate, fsync, fdatasync, rename,
// unlink and remove, so that every such call of the grid I/O library (and
// of GDAL under it) comes here first. While a root is watched, each call on
// a path below it is recorded as an Event and shown to a hook before it is
// carried out; the hook may stop the process there (a kill at a named
// moment), look at the files (a snapshot for a power-loss replay) or fail
// the call with an errno (a full disk). Calls on other paths, and every call
// while nothing is watched, go straight through.
//
// GDAL's own writes go through stdio buffers, whose flushes the C library
// makes internally; they are not events, but they are in the files that a
// hook looks at.
//
// Thread safety: Watch and Unwatch only while no other thread does file
// work; the hook runs on the calling thread.
#ifndef MIRL_TESTS_GRIDIO_FILE_OPS_FILE_OPS_SHIM_H_
#define MIRL_TESTS_GRIDIO_FILE_OPS_FILE_OPS_SHIM_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace file_ops {

enum class Op { kWrite, kTruncate, kSync, kRename, kUnlink };

struct Event {
  Op op;
  std::string path;    // the file (kSync of a directory: the directory)
  std::string target;  // kRename: where it goes
  bool directory = false;  // kSync: of a directory
  uint64_t inode = 0;      // kSync: the inode forced
  uint64_t offset = 0;  // kWrite: where; kTruncate: the new size
  uint64_t size = 0;    // kWrite: how many bytes
};

// Returns 0 to let the call go on, or the errno it is to fail with.
using Hook = std::function<int(const Event&)>;

// Records the calls on paths below root (absolute, links resolved) from now
// on, each shown to hook first when one is given; forgets earlier events.
void Watch(const std::string& root, Hook hook = Hook());
void Unwatch();

// The events recorded since Watch, in order.
const std::vector<Event>& Events();

// The readable form of an event, for failure messages: "sync /x/layer.tif".
std::string Describe(const Event& event);

}  // namespace file_ops

#endif  // MIRL_TESTS_GRIDIO_FILE_OPS_FILE_OPS_SHIM_H_
