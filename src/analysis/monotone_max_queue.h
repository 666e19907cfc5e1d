// A priority queue of (value, row, column) entries that yields the largest
// value first, for the case of a best-first expansion where no value pushed
// is ever larger than the last value taken (the spread's remaining values only
// fall). It is a radix heap over the bit patterns of positive doubles, whose
// order as unsigned integers is the order of the values; push and pop cost
// amortised O(1) instead of a binary heap's O(log n).
//
// Precondition: every value pushed is > 0, not NaN, and not larger than the
// value most recently popped. Entries of equal value come out in no defined
// order.
#ifndef MIRL_ANALYSIS_MONOTONE_MAX_QUEUE_H_
#define MIRL_ANALYSIS_MONOTONE_MAX_QUEUE_H_

#include <cstdint>
#include <cstring>
#include <vector>

namespace mirl {
namespace analysis {

class MonotoneMaxQueue {
 public:
  struct Entry {
    double value;
    int32_t row;
    int32_t col;
  };

  bool empty() const { return m_Size == 0; }
  size_t size() const { return m_Size; }

  void push(double value, int32_t row, int32_t col) {
    const uint64_t key = KeyOf(value);
    m_Buckets[BucketOf(key)].push_back(Item{key, row, col});
    ++m_Size;
  }

  /// Removes and returns an entry of largest value. Precondition: !empty().
  Entry pop() {
    if (m_Buckets[0].empty()) Refill();
    const Item item = m_Buckets[0].back();
    m_Buckets[0].pop_back();
    --m_Size;
    return Entry{ValueOf(item.key), item.row, item.col};
  }

 private:
  struct Item {
    uint64_t key;
    int32_t row;
    int32_t col;
  };

  // Larger value, smaller key: the heap is a min-heap over keys.
  static uint64_t KeyOf(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return ~bits;
  }
  static double ValueOf(uint64_t key) {
    const uint64_t bits = ~key;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  int BucketOf(uint64_t key) const {
    const uint64_t diff = key ^ m_Last;
    return diff == 0 ? 0 : 64 - __builtin_clzll(diff);
  }

  // Moves the smallest keys into bucket 0: find the first non-empty bucket,
  // make its minimum the new reference, and redistribute it (every entry then
  // lands in a lower bucket).
  void Refill() {
    int b = 1;
    while (m_Buckets[b].empty()) ++b;
    std::vector<Item>& from = m_Buckets[b];
    uint64_t smallest = from[0].key;
    for (const Item& it : from)
      if (it.key < smallest) smallest = it.key;
    m_Last = smallest;
    for (const Item& it : from) m_Buckets[BucketOf(it.key)].push_back(it);
    from.clear();
  }

  std::vector<Item> m_Buckets[65];
  uint64_t m_Last = 0;
  size_t m_Size = 0;
};

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_MONOTONE_MAX_QUEUE_H_
