#include "gridio/file_ops/power_loss.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <boost/filesystem.hpp>
#include <fstream>
#include <set>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace power_loss {
namespace {

namespace fs = boost::filesystem;

constexpr size_t kPage = 4096;

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file.string(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& file, const std::string& bytes) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC);
  if (fd < 0) throw std::runtime_error("cannot rewrite " + file);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  if (done != bytes.size()) throw std::runtime_error("cannot rewrite " + file);
}

std::string Join(const std::string& rel, const std::string& name) {
  return rel.empty() ? name : rel + "/" + name;
}

}  // namespace

Recorder::Recorder(const std::string& root, const std::string& work_dir)
    : root_(fs::canonical(root).string()), keep_((fs::path(work_dir) / "keep").string()) {
  fs::create_directories(keep_);
  ::sync();
  snapshots_.push_back(Take());
  file_ops::Watch(root_, [this](const file_ops::Event&) {
    snapshots_.push_back(Take());
    return 0;
  });
}

Recorder::~Recorder() {
  if (!finished_) file_ops::Unwatch();
}

void Recorder::Finish() {
  events_ = file_ops::Events();
  file_ops::Unwatch();
  snapshots_.push_back(Take());
  finished_ = true;
}

Recorder::Snapshot Recorder::Take() {
  Snapshot snapshot;
  std::vector<std::string> todo{""};
  while (!todo.empty()) {
    const std::string rel = todo.back();
    todo.pop_back();
    std::map<std::string, uint64_t>& entries = snapshot.dirs[rel];
    boost::system::error_code ec;
    for (fs::directory_iterator it(fs::path(root_) / rel, ec), end; !ec && it != end;
         it.increment(ec)) {
      struct stat st;
      if (::lstat(it->path().c_str(), &st) != 0) continue;
      const std::string name = it->path().filename().string();
      entries[name] = static_cast<uint64_t>(st.st_ino);
      if (S_ISDIR(st.st_mode)) {
        todo.push_back(Join(rel, name));
      } else if (S_ISREG(st.st_mode)) {
        snapshot.files[st.st_ino] = ReadAll(it->path());
        // Held, so that the inode outlives the workload and is not reused.
        const fs::path kept = fs::path(keep_) / std::to_string(st.st_ino);
        if (!fs::exists(kept)) ::link(it->path().c_str(), kept.c_str());
      }
    }
  }
  return snapshot;
}

const std::string* Recorder::BytesAt(size_t moment, uint64_t inode) const {
  // A file unlinked by then still has the bytes it had when last seen.
  for (size_t m = moment + 1; m-- > 0;) {
    auto it = snapshots_[m].files.find(inode);
    if (it != snapshots_[m].files.end()) return &it->second;
  }
  return nullptr;
}

std::string Recorder::DurableBytes(size_t moment, uint64_t inode, Kept kept,
                                   std::mt19937* rng) const {
  const std::string* now = BytesAt(moment, inode);
  if (now == nullptr) return std::string();
  // The bytes at the last fsync of the inode carried out by then; those at
  // the start, or none for a file made since.
  std::string forced;
  bool found = false;
  for (size_t e = EventsBefore(moment); e-- > 0 && !found;) {
    const file_ops::Event& event = events_[e];
    if (event.op == file_ops::Op::kSync && !event.directory && event.inode == inode) {
      const std::string* at = BytesAt(e + 1, inode);
      forced = at != nullptr ? *at : std::string();
      found = true;
    }
  }
  if (!found) {
    auto it = snapshots_.front().files.find(inode);
    if (it != snapshots_.front().files.end()) forced = it->second;
  }
  if (kept == Kept::kNothing) return forced;
  if (kept == Kept::kEverything) return *now;
  std::bernoulli_distribution coin(0.5);
  std::string out = forced;
  out.resize(coin(*rng) ? now->size() : forced.size(), '\0');
  for (size_t at = 0; at < out.size(); at += kPage) {
    const size_t n = std::min(kPage, out.size() - at);
    if (at >= now->size() || !coin(*rng)) continue;
    out.replace(at, n, now->substr(at, n).append(n - std::min(n, now->size() - at), '\0'));
  }
  return out;
}

std::map<std::string, uint64_t> Recorder::DurableEntries(size_t moment, const std::string& dir,
                                                         Kept kept, std::mt19937* rng) const {
  const std::string path = dir.empty() ? root_ : root_ + "/" + dir;
  // Entries as of the last fsync of the directory, or the start.
  size_t base = 0;
  for (size_t e = EventsBefore(moment); e-- > 0;) {
    const file_ops::Event& event = events_[e];
    if (event.op == file_ops::Op::kSync && event.directory && event.path == path) {
      base = e + 1;
      break;
    }
  }
  size_t chosen = base;
  if (kept == Kept::kEverything) chosen = moment;
  if (kept == Kept::kSome) chosen = std::uniform_int_distribution<size_t>(base, moment)(*rng);
  auto it = snapshots_[chosen].dirs.find(dir);
  return it == snapshots_[chosen].dirs.end() ? std::map<std::string, uint64_t>() : it->second;
}

void Recorder::Replay(size_t moment, Kept kept, std::mt19937* rng, const std::string& dir) const {
  if (!finished_ || moment >= snapshots_.size()) throw std::logic_error("no such moment");
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::set<uint64_t> written;
  Build(moment, kept, rng, "", dir, &written);
}

void Recorder::Build(size_t moment, Kept kept, std::mt19937* rng, const std::string& rel,
                     const std::string& out, std::set<uint64_t>* written) const {
  for (const auto& entry : DurableEntries(moment, rel, kept, rng)) {
    const std::string child = Join(rel, entry.first);
    const std::string target = out + "/" + entry.first;
    bool is_dir = false;
    for (const Snapshot& s : snapshots_) is_dir = is_dir || s.dirs.count(child) != 0;
    if (is_dir) {
      fs::create_directories(target);
      Build(moment, kept, rng, child, target, written);
      continue;
    }
    const fs::path held = fs::path(keep_) / std::to_string(entry.second);
    if (!fs::exists(held)) continue;
    if (::link(held.c_str(), target.c_str()) != 0)
      throw std::runtime_error("cannot link " + target);
    // A second name of one inode (a rename seen in both its directories)
    // shares its bytes, as on the disk.
    if (!written->insert(entry.second).second) continue;
    WriteAll(target, DurableBytes(moment, entry.second, kept, rng));
  }
}

}  // namespace power_loss
