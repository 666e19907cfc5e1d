// Verbs shared by the sysutil tests: files of a given size in a fresh
// directory, and caller buffers fenced by guard bytes so that a write past
// the documented size shows. (Times and time zones: sysutil_posix_fixture.h.)
#ifndef MIRL_TESTS_SYSUTIL_SYSUTIL_FIXTURE_H_
#define MIRL_TESTS_SYSUTIL_SYSUTIL_FIXTURE_H_

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace mirl_test {

// A caller's buffer: `room` usable bytes pre-filled with a string, then guard
// bytes that no export may touch.
class GuardedBuffer {
 public:
  static constexpr std::size_t kGuard = 64;
  static constexpr char kGuardByte = '\x5a';

  GuardedBuffer(std::size_t room, const std::string& content) : bytes_(room + kGuard, kGuardByte) {
    std::memcpy(bytes_.data(), content.c_str(), content.size() + 1);
    room_ = room;
  }
  char* data() { return bytes_.data(); }
  std::string str() const { return std::string(bytes_.data()); }
  bool GuardIntact() const {
    for (std::size_t i = room_; i < bytes_.size(); ++i)
      if (bytes_[i] != kGuardByte) return false;
    return true;
  }

 private:
  std::vector<char> bytes_;
  std::size_t room_ = 0;
};

class FilesFixture : public ::testing::Test {
 protected:
  // Creates (or replaces) a file of exactly `bytes` bytes below the directory.
  std::string MakeFile(const std::string& rel, std::uint64_t bytes) {
    const std::string path = dir_.file(rel);
    { std::ofstream create(path, std::ios::binary | std::ios::trunc); }
    boost::system::error_code error;
    boost::filesystem::resize_file(path, bytes, error);
    EXPECT_FALSE(error) << path;
    return path;
  }
  std::string MakeDir(const std::string& rel) {
    const std::string path = dir_.file(rel);
    boost::filesystem::create_directories(path);
    return path;
  }
  TempDir dir_;
};

}  // namespace mirl_test

#endif  // MIRL_TESTS_SYSUTIL_SYSUTIL_FIXTURE_H_
