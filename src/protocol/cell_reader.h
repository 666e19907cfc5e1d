// Reads 4-byte cells from a message in place. Cells in a message sit at
// whatever offset the fields before them leave, so each one is copied out
// byte for byte instead of through a misaligned pointer; the compiler turns
// the loop over them into a block copy.
//
// The iterator only reads the bytes; they belong to the message and must
// outlive it. A random-access iterator, so that a vector assigned from a
// pair of them sizes itself once and copies without zero-filling first.
#ifndef MIRL_PROTOCOL_CELL_READER_H_
#define MIRL_PROTOCOL_CELL_READER_H_

#include <cstddef>
#include <cstring>
#include <iterator>
#include <type_traits>

namespace grd_svr {
namespace wire {

template <class T>
class CellReader {
  static_assert(std::is_trivially_copyable<T>::value, "cells are plain numbers");

 public:
  using iterator_category = std::random_access_iterator_tag;
  using value_type = T;
  using difference_type = std::ptrdiff_t;
  using pointer = const T*;
  using reference = T;

  explicit CellReader(const char* at) : at_(at) {}

  T operator*() const {
    T value;
    std::memcpy(&value, at_, sizeof(T));
    return value;
  }
  T operator[](difference_type n) const { return *(*this + n); }

  CellReader& operator++() {
    at_ += sizeof(T);
    return *this;
  }
  CellReader operator++(int) {
    CellReader before = *this;
    ++*this;
    return before;
  }
  CellReader& operator--() {
    at_ -= sizeof(T);
    return *this;
  }
  CellReader operator--(int) {
    CellReader before = *this;
    --*this;
    return before;
  }
  CellReader& operator+=(difference_type n) {
    at_ += n * static_cast<difference_type>(sizeof(T));
    return *this;
  }
  CellReader& operator-=(difference_type n) { return *this += -n; }
  friend CellReader operator+(CellReader it, difference_type n) { return it += n; }
  friend CellReader operator+(difference_type n, CellReader it) { return it += n; }
  friend CellReader operator-(CellReader it, difference_type n) { return it -= n; }
  friend difference_type operator-(const CellReader& a, const CellReader& b) {
    return (a.at_ - b.at_) / static_cast<difference_type>(sizeof(T));
  }

  friend bool operator==(const CellReader& a, const CellReader& b) { return a.at_ == b.at_; }
  friend bool operator!=(const CellReader& a, const CellReader& b) { return a.at_ != b.at_; }
  friend bool operator<(const CellReader& a, const CellReader& b) { return a.at_ < b.at_; }
  friend bool operator>(const CellReader& a, const CellReader& b) { return a.at_ > b.at_; }
  friend bool operator<=(const CellReader& a, const CellReader& b) { return a.at_ <= b.at_; }
  friend bool operator>=(const CellReader& a, const CellReader& b) { return a.at_ >= b.at_; }

 private:
  const char* at_;
};

}  // namespace wire
}  // namespace grd_svr

#endif  // MIRL_PROTOCOL_CELL_READER_H_
