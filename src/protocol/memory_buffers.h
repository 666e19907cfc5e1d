// Stream buffers for the archives: a read-only view of bytes the caller
// owns, and a write-only sink that appends to a string (or only counts).
// Neither copies more than the archive asks for, so a grid's cells cross
// each buffer in one block.
//
// Lifetime: CMemoryInputBuffer reads the caller's bytes in place; they must
// outlive it. Not thread-safe.
#ifndef MIRL_PROTOCOL_MEMORY_BUFFERS_H_
#define MIRL_PROTOCOL_MEMORY_BUFFERS_H_

#include <cstddef>
#include <streambuf>
#include <string>

namespace grd_svr {

class CMemoryInputBuffer : public std::streambuf {
 public:
  CMemoryInputBuffer(const char* data, std::size_t size) {
    char* begin = const_cast<char*>(data);  // the get area is never written
    setg(begin, begin, begin + size);
  }
  // Bytes not yet read.
  std::size_t remaining() const { return static_cast<std::size_t>(egptr() - gptr()); }
  // Where they begin.
  const char* next() const { return gptr(); }
  // Consumes the next n bytes (n <= remaining()) and returns where they sit,
  // so that a large block is copied once, straight to its destination.
  const char* Take(std::size_t n) {
    char* at = gptr();
    setg(eback(), at + n, egptr());
    return at;
  }
};

// Appends everything written to *out; with out null it only counts.
class CStringOutputBuffer : public std::streambuf {
 public:
  explicit CStringOutputBuffer(std::string* out) : out_(out) {}
  std::size_t written() const { return written_; }

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    if (out_ != nullptr) out_->append(s, static_cast<std::size_t>(n));
    written_ += static_cast<std::size_t>(n);
    return n;
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    xsputn(&ch, 1);
    return c;
  }

 private:
  std::string* out_;
  std::size_t written_ = 0;
};

}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_MEMORY_BUFFERS_H_
