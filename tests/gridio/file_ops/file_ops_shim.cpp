#include "file_ops_shim.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <boost/filesystem.hpp>

namespace file_ops {
// What the interposed calls below share; not for the tests.
namespace shim {

struct Watching {
  bool on = false;
  bool in_hook = false;
  std::string root;
  Hook hook;
  std::vector<Event> events;
};

Watching& State() {
  static Watching* state = new Watching;
  return *state;
}

template <typename Fn>
Fn Real(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

std::string PathOf(int fd) {
  char link[64], target[PATH_MAX];
  snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
  const ssize_t n = readlink(link, target, sizeof(target) - 1);
  return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

// The path with its directory's links resolved (the file itself may be
// gone or not yet there), as the root was given.
std::string Normal(const char* path) {
  boost::system::error_code ec;
  const boost::filesystem::path p = boost::filesystem::absolute(path);
  const boost::filesystem::path dir = boost::filesystem::canonical(p.parent_path(), ec);
  return ec ? p.string() : (dir / p.filename()).string();
}

bool Below(const std::string& path) {
  const std::string& root = State().root;
  return path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
         path[root.size()] == '/';
}

// Records the event when it concerns a watched path, lets the hook see it,
// and returns the errno the call is to fail with (0: go on).
int Note(Event event) {
  Watching& state = State();
  if (!state.on || state.in_hook || !(Below(event.path) || Below(event.target))) return 0;
  state.events.push_back(event);
  if (!state.hook) return 0;
  state.in_hook = true;
  const int error = state.hook(state.events.back());
  state.in_hook = false;
  return error;
}

Event Make(Op op, std::string path) {
  Event event;
  event.op = op;
  event.path = std::move(path);
  return event;
}

}  // namespace shim

using shim::State;
using shim::Watching;

void Watch(const std::string& root, Hook hook) {
  Watching& state = State();
  state.root = boost::filesystem::canonical(root).string();
  state.hook = std::move(hook);
  state.events.clear();
  state.on = true;
}

void Unwatch() {
  State().on = false;
  State().hook = Hook();
}

const std::vector<Event>& Events() { return State().events; }

std::string Describe(const Event& event) {
  static const char* const kNames[] = {"write", "truncate", "sync", "rename", "unlink"};
  std::string text = std::string(kNames[static_cast<int>(event.op)]) + " " + event.path;
  if (event.op == Op::kRename) text += " -> " + event.target;
  if (event.op == Op::kWrite)
    text += " @" + std::to_string(event.offset) + "+" + std::to_string(event.size);
  return text;
}

}  // namespace file_ops

using file_ops::Event;
using file_ops::Op;
using file_ops::shim::Make;
using file_ops::shim::Note;
using file_ops::shim::PathOf;
using file_ops::shim::Real;
using file_ops::shim::Normal;

// Seen by the shared libraries only when the program exports them.
#define SHIM_API __attribute__((visibility("default")))

extern "C" {

SHIM_API ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
  static auto real = Real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
  Event event = Make(Op::kWrite, PathOf(fd));
  event.offset = static_cast<uint64_t>(offset);
  event.size = size;
  if (const int error = Note(event)) {
    errno = error;
    return -1;
  }
  return real(fd, data, size, offset);
}

SHIM_API ssize_t pwrite64(int fd, const void* data, size_t size, off_t offset) {
  return pwrite(fd, data, size, offset);
}

SHIM_API int ftruncate(int fd, off_t size) {
  static auto real = Real<int (*)(int, off_t)>("ftruncate");
  Event event = Make(Op::kTruncate, PathOf(fd));
  event.offset = static_cast<uint64_t>(size);
  if (const int error = Note(event)) {
    errno = error;
    return -1;
  }
  return real(fd, size);
}

SHIM_API int ftruncate64(int fd, off_t size) { return ftruncate(fd, size); }

namespace {

int SyncCall(int fd, int (*real)(int)) {
  Event event = Make(Op::kSync, PathOf(fd));
  struct stat st;
  if (fstat(fd, &st) == 0) {
    event.directory = S_ISDIR(st.st_mode);
    event.inode = static_cast<uint64_t>(st.st_ino);
  }
  if (const int error = Note(event)) {
    errno = error;
    return -1;
  }
  return real(fd);
}

}  // namespace

SHIM_API int fsync(int fd) {
  static auto real = Real<int (*)(int)>("fsync");
  return SyncCall(fd, real);
}

SHIM_API int fdatasync(int fd) {
  static auto real = Real<int (*)(int)>("fdatasync");
  return SyncCall(fd, real);
}

SHIM_API int rename(const char* from, const char* to) {
  static auto real = Real<int (*)(const char*, const char*)>("rename");
  Event event = Make(Op::kRename, Normal(from));
  event.target = Normal(to);
  if (const int error = Note(event)) {
    errno = error;
    return -1;
  }
  return real(from, to);
}

SHIM_API int unlink(const char* path) {
  static auto real = Real<int (*)(const char*)>("unlink");
  if (const int error = Note(Make(Op::kUnlink, Normal(path)))) {
    errno = error;
    return -1;
  }
  return real(path);
}

SHIM_API int remove(const char* path) {
  static auto real = Real<int (*)(const char*)>("remove");
  if (const int error = Note(Make(Op::kUnlink, Normal(path)))) {
    errno = error;
    return -1;
  }
  return real(path);
}

}  // extern "C"
