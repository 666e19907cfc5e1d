// A priority queue of (value, row, column) entries that yields the largest
// value first, for a best-first expansion in which every value pushed lies
// at least min_step below the value most recently popped, and no more than
// max_step below it (a spread whose steps each cost between the two).
//
// Values fall into buckets half min_step wide, kept in a ring that spans
// max_step. A push then never lands in the bucket being emptied: that
// bucket is sorted once when its turn comes and popped in order, while
// pushes only append to later buckets. Against a radix heap, which moves
// each entry down several times, every entry is appended once and sorted
// once, by a counting pass and insertion.
//
// Whether a spread can use the queue is decided by Fits before one is built.
// Entries of equal value come out in no defined order. A push above the
// bucket being emptied (one closer below the last popped than min_step)
// still comes out in order, through an insertion.
#ifndef MIRL_ANALYSIS_BUCKET_MAX_QUEUE_H_
#define MIRL_ANALYSIS_BUCKET_MAX_QUEUE_H_

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace mirl {
namespace analysis {

class BucketMaxQueue {
 public:
  struct Entry {
    double value;
    int32_t row;
    int32_t col;
  };

  /// Most buckets the ring may have (max_step over half min_step); beyond
  /// that a spread keeps to the radix heap.
  static constexpr int64_t kMaxBuckets = 1 << 14;

  /// Whether a queue for values at most top, with steps between min_step
  /// and max_step, fits: steps must be positive and finite, and the ring no
  /// larger than kMaxBuckets.
  static bool Fits(double top, double min_step, double max_step) {
    if (!(min_step > 0) || !(max_step >= min_step) || !std::isfinite(max_step)) return false;
    if (!(top > 0) || !std::isfinite(top)) return false;
    const double width = Width(min_step, max_step);
    // Bucket numbers count down from top and must stay exact in an int64.
    return max_step / width + 3 <= kMaxBuckets && top / width < 1e15;
  }

  /// Precondition: Fits(top, min_step, max_step).
  BucketMaxQueue(double top, double min_step, double max_step)
      : m_Top(top), m_Width(Width(min_step, max_step)), m_PerWidth(1.0 / m_Width) {
    int64_t count = 1;
    while (count < max_step / m_Width + 3) count <<= 1;
    m_Buckets.resize(static_cast<size_t>(count));
    m_Mask = count - 1;
  }

  bool empty() const { return m_Size == 0; }
  size_t size() const { return m_Size; }

  void push(double value, int32_t row, int32_t col) {
    const int64_t k = BucketOf(value);
    ++m_Size;
    if (k <= m_Current) {
      // Closer below the last popped than the steps allow: it belongs to
      // the bucket being emptied, in its sorted place.
      const Entry e{value, row, col};
      auto at = std::upper_bound(m_Sorted.begin() + static_cast<std::ptrdiff_t>(m_Next),
                                 m_Sorted.end(), e, Larger());
      m_Sorted.insert(at, e);
      return;
    }
    m_Buckets[static_cast<size_t>(k & m_Mask)].push_back(Entry{value, row, col});
  }

  /// The entry that the ahead-th pop from now yields (0: the next), if no
  /// push comes before it; nullptr when that is not yet known. As pushes
  /// land in later buckets, it is known within the bucket being emptied.
  const Entry* peek(size_t ahead) const {
    return m_Next + ahead < m_Sorted.size() ? &m_Sorted[m_Next + ahead] : nullptr;
  }

  /// Removes and returns an entry of largest value. Precondition: !empty().
  Entry pop() {
    while (m_Next == m_Sorted.size()) Advance();
    --m_Size;
    return m_Sorted[m_Next++];
  }

 private:
  struct Larger {
    bool operator()(const Entry& a, const Entry& b) const { return a.value > b.value; }
  };

  // Half the smallest step: a push then lands two buckets or more past the
  // one being emptied, whatever the rounding. Few buckets, so that the
  // ends that pushes append to stay in the nearest cache.
  static double Width(double min_step, double /*max_step*/) { return min_step / 2; }

  int64_t BucketOf(double value) const {
    return static_cast<int64_t>((m_Top - value) * m_PerWidth);
  }

  // Makes the next non-empty bucket the sorted one.
  void Advance() {
    m_Sorted.clear();
    m_Next = 0;
    do {
      ++m_Current;
    } while (m_Buckets[static_cast<size_t>(m_Current & m_Mask)].empty());
    m_Sorted.swap(m_Buckets[static_cast<size_t>(m_Current & m_Mask)]);
    SortBucket();
  }

  // Sorts the bucket being emptied, largest first: a counting pass into as
  // many slices of the bucket's width as it holds entries, then insertion,
  // which finds little out of order, and so seldom takes the branch that a
  // processor cannot foresee.
  void SortBucket() {
    const size_t n = m_Sorted.size();
    if (n > 16) {
      const size_t slices = std::min<size_t>(n, 1 << 16);
      m_Counts.assign(slices + 1, 0);
      m_Slice.resize(n);
      for (size_t i = 0; i < n; ++i) {
        const double within =
            (m_Top - m_Sorted[i].value) * m_PerWidth - static_cast<double>(m_Current);
        const double at = std::max(0.0, within * static_cast<double>(slices));
        const uint32_t slice = static_cast<uint32_t>(std::min(at, static_cast<double>(slices - 1)));
        m_Slice[i] = slice;
        ++m_Counts[slice + 1];
      }
      for (size_t k = 0; k < slices; ++k) m_Counts[k + 1] += m_Counts[k];
      m_Spare.resize(n);
      for (size_t i = 0; i < n; ++i) m_Spare[m_Counts[m_Slice[i]]++] = m_Sorted[i];
      m_Sorted.swap(m_Spare);
    }
    Entry* a = m_Sorted.data();
    for (size_t i = 1; i < n; ++i) {
      const Entry e = a[i];
      size_t j = i;
      for (; j > 0 && a[j - 1].value < e.value; --j) a[j] = a[j - 1];
      a[j] = e;
    }
  }

  double m_Top;
  double m_Width;
  double m_PerWidth;
  std::vector<std::vector<Entry>> m_Buckets;
  int64_t m_Mask = 0;
  // The bucket being emptied, sorted largest first, and the next to pop.
  int64_t m_Current = -1;
  std::vector<Entry> m_Sorted;
  size_t m_Next = 0;
  // Work space of SortBucket.
  std::vector<Entry> m_Spare;
  std::vector<uint32_t> m_Slice;
  std::vector<size_t> m_Counts;
  size_t m_Size = 0;
};

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_BUCKET_MAX_QUEUE_H_
