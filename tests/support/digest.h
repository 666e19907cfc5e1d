// Digests of results, for checking that every build (compiler, processor,
// vector or portable path) gives the same bits as the x86-64 build that
// wrote a file of expected digests, and inputs that every build makes alike.
//
// Digests: 64-bit FNV-1a over the bytes of the values, which are laid out
// alike on every little-endian target the project builds for. Inputs: a
// fixed integer generator (splitmix64), so that no library's distribution
// or rounding enters them.
#ifndef MIRL_TESTS_SUPPORT_DIGEST_H_
#define MIRL_TESTS_SUPPORT_DIGEST_H_

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace mirl_test {

class Digest {
 public:
  template <typename T>
  Digest& Add(const std::vector<T>& values) {
    return AddBytes(values.data(), values.size() * sizeof(T));
  }
  template <typename T>
  Digest& Add(const T& value) {
    return AddBytes(&value, sizeof value);
  }
  std::string Hex() const {
    std::string text(16, '0');
    for (int i = 0; i < 16; ++i) text[15 - i] = "0123456789abcdef"[(state_ >> (4 * i)) & 15];
    return text;
  }

 private:
  Digest& AddBytes(const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) state_ = (state_ ^ bytes[i]) * 0x100000001b3ULL;
    return *this;
  }
  std::uint64_t state_ = 0xcbf29ce484222325ULL;
};

class Inputs {
 public:
  explicit Inputs(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // In [0, 1), 53 random bits: exact on every target.
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  double Between(double lo, double hi) { return lo + (hi - lo) * Unit(); }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }

 private:
  std::uint64_t state_;
};

// The expected digests: lines of "name digest"; '#' starts a comment.
inline std::map<std::string, std::string> ReadDigests(const std::string& path) {
  std::map<std::string, std::string> digests;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name, digest;
    if (fields >> name >> digest) digests[name] = digest;
  }
  return digests;
}

}  // namespace mirl_test

#endif  // MIRL_TESTS_SUPPORT_DIGEST_H_
