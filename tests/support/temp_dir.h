// A fresh temporary directory for one test, removed with everything in it
// when the object goes; ScopedCwd makes it the current directory meanwhile.
#ifndef MIRL_TESTS_SUPPORT_TEMP_DIR_H_
#define MIRL_TESTS_SUPPORT_TEMP_DIR_H_

#include <unistd.h>

#include <string>
#include <vector>

#include <boost/filesystem.hpp>

namespace mirl_test {

class TempDir {
 public:
  TempDir() {
    path_ = boost::filesystem::temp_directory_path() /
            boost::filesystem::unique_path("mirl-test-%%%%-%%%%-%%%%");
    boost::filesystem::create_directories(path_);
  }
  ~TempDir() {
    boost::system::error_code ec;
    boost::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const boost::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

  // Names of every entry below the directory, for "nothing was written" checks.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (boost::filesystem::recursive_directory_iterator it(path_), end; it != end; ++it)
      names.push_back(it->path().string());
    return names;
  }

 private:
  boost::filesystem::path path_;
};

class ScopedCwd {
 public:
  explicit ScopedCwd(const boost::filesystem::path& dir) : old_(boost::filesystem::current_path()) {
    boost::filesystem::current_path(dir);
  }
  ~ScopedCwd() {
    boost::system::error_code ec;
    boost::filesystem::current_path(old_, ec);
  }

 private:
  boost::filesystem::path old_;
};

}  // namespace mirl_test

#endif  // MIRL_TESTS_SUPPORT_TEMP_DIR_H_
