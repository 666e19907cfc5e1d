// A power-loss replay after SQLite's crash tests. While a workload runs
// under a Recorder, every file event (file_ops_shim.h) is a moment at which
// the power may fail, and at each one the files below the root are read.
// Afterwards, Replay builds what a power loss at a chosen moment may leave:
// each file's bytes as of its last fsync and each directory's entries as of
// its last fsync (the state at the start counts as forced), plus, chosen at
// random, some of what was not forced by then: pages of a file's later
// bytes, its later size, and a leading run of the later changes to a
// directory's entries.
//
// Replayed files are hard links to the workload's own inodes (the Recorder
// keeps a link to every file it sees, so none is freed or reused), given the
// bytes of the moment: identities that the library records (a journal names
// its raster's inode) hold in the replay as they did on the disk.
//
// The root and the recorder's own directories must be on one file system.
#ifndef MIRL_TESTS_GRIDIO_FILE_OPS_POWER_LOSS_H_
#define MIRL_TESTS_GRIDIO_FILE_OPS_POWER_LOSS_H_

#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "gridio/file_ops/file_ops_shim.h"

namespace power_loss {

// What a replay keeps of the changes that were not forced.
enum class Kept { kNothing, kEverything, kSome };

class Recorder {
 public:
  // Forces everything to the disk, reads the tree below root (which must
  // exist) and starts watching it; work_dir is the recorder's own (on the
  // same file system), made when missing.
  Recorder(const std::string& root, const std::string& work_dir);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Stops watching and reads the tree a last time.
  void Finish();

  // The moments recorded, numbered from 0: the start, then one just
  // before each event, then the end (after Finish).
  size_t moments() const { return snapshots_.size(); }
  // How many events were carried out by moment.
  static size_t EventsBefore(size_t moment) { return moment == 0 ? 0 : moment - 1; }
  const std::vector<file_ops::Event>& events() const { return events_; }

  // Makes dir (emptied first) hold what a power loss at moment may leave
  // of the root's tree; kSome draws from rng.
  void Replay(size_t moment, Kept kept, std::mt19937* rng, const std::string& dir) const;

 private:
  struct Snapshot {
    // Directories relative to the root ("" for the root): entry name ->
    // inode.
    std::map<std::string, std::map<std::string, uint64_t>> dirs;
    std::map<uint64_t, std::string> files;  // regular files' bytes by inode
  };
  Snapshot Take();
  const std::string* BytesAt(size_t moment, uint64_t inode) const;
  std::string DurableBytes(size_t moment, uint64_t inode, Kept kept, std::mt19937* rng) const;
  std::map<std::string, uint64_t> DurableEntries(size_t moment, const std::string& dir, Kept kept,
                                                 std::mt19937* rng) const;
  void Build(size_t moment, Kept kept, std::mt19937* rng, const std::string& rel,
             const std::string& out, std::set<uint64_t>* written) const;

  std::string root_;
  std::string keep_;
  std::vector<Snapshot> snapshots_;  // by moment
  std::vector<file_ops::Event> events_;
  bool finished_ = false;
};

}  // namespace power_loss

#endif  // MIRL_TESTS_GRIDIO_FILE_OPS_POWER_LOSS_H_
