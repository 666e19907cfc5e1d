#include <boost/filesystem.hpp>

#include "server/gio.h"

namespace grd_svr {

namespace fs = boost::filesystem;

std::string CGIO::ResolvePath(const std::string& base, const std::string& name) {
  if (base.empty()) return name;
  const fs::path name_path(name);
  // is_absolute is exactly "root name and root directory" where the platform
  // has root names (drives, shares), and "root directory" where it has none.
  if (name_path.is_absolute()) return name;
  return (fs::path(base) / name_path).string();
}

bool CGIO::IsDirectory(const std::string& path) {
  if (path.empty()) return false;
  boost::system::error_code ec;
  return fs::is_directory(fs::path(path), ec) && !ec;
}

bool CGIO::RemoveLeftoverDirectory(const std::string& path) {
  const fs::path dir(path);
  if (IsDirectory(path)) {
    boost::system::error_code ec;
    fs::directory_iterator it(dir, ec), end;
    if (ec) return false;
    for (; it != end; it.increment(ec)) {
      if (ec) return false;
      const fs::file_status status = it->symlink_status(ec);
      if (ec) return false;
      if (fs::is_directory(status)) return false;
      // A link to a directory counts as one: removal would fail on it, and
      // what it points at is not ours to judge.
      if (fs::is_symlink(status)) {
        boost::system::error_code target_ec;
        if (fs::is_directory(it->path(), target_ec)) return false;
      }
    }
    if (ec) return false;
  }
  fs::remove(dir);
  return !IsDirectory(path);
}

}  // namespace grd_svr
