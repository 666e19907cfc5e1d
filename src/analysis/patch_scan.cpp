#include "analysis/patch_scan.h"

#include <algorithm>
#include <utility>

#include "analysis/cpu_features.h"
#include "platform/memory_status.h"

#if MIRL_X86_KERNELS
#include <immintrin.h>
#endif

namespace mirl {
namespace analysis {

namespace {

// Matches no value that can form a patch.
constexpr int32_t kPad = -1;

// A row buffer holds a row's cells between two padding cells, and sixteen
// cells of slack behind them for the writes and reads of whole groups.
inline size_t RowStride(int32_t cols) { return static_cast<size_t>(cols) + 2 + 16; }

// Words of run-start marks for a row: one bit per column and one past it.
inline size_t StartWords(int32_t cols) { return static_cast<size_t>(cols) / 64 + 1; }

inline int32_t Find(int32_t* parent, int32_t x) {
  while (parent[x] != x) {
    parent[x] = parent[parent[x]];
    x = parent[x];
  }
  return x;
}

// Joins the sets of a and b under the smaller root and returns that root, so
// that every set's root is its first label in scan order.
inline int32_t Union(int32_t* parent, int32_t a, int32_t b) {
  a = Find(parent, a);
  b = Find(parent, b);
  if (a < b) {
    parent[b] = a;
    return a;
  }
  parent[a] = b;
  return b;
}

// cond ? a : b in bit operations, which the compiler keeps free of branches.
inline int32_t Select(bool cond, int32_t a, int32_t b) {
  return b ^ ((a ^ b) & -static_cast<int32_t>(cond));
}

// x == y ? a : b, as a compare and a conditional move. Written out on x86,
// as the compiler turns a plain conditional into a branch, which on noise is
// a coin toss, and the bit operations of Select take twice the instructions.
inline int32_t SelectIfEqual(int32_t x, int32_t y, int32_t a, int32_t b) {
#if MIRL_X86_KERNELS
  __asm__("cmpl %2, %1\n\tcmove %3, %0" : "+r"(b) : "r"(x), "rm"(y), "rm"(a) : "cc");
  return b;
#else
  return x == y ? a : b;
#endif
}

#if MIRL_X86_KERNELS
// The second pass sixteen cells at a time over whole vectors of g, the
// same rule as the scalar loop lane for lane; returns how many cells it
// did. On noise every cell looks up a different label, which a gather
// fetches many at once.
MIRL_TARGET_AVX512 int64_t SecondPassAvx512(int32_t* g, int64_t n, int32_t missing, int32_t skip,
                                            const int32_t* number) {
  const __m512i vmissing = _mm512_set1_epi32(missing);
  const __m512i vskip = _mm512_set1_epi32(skip);
  const __m512i zero = _mm512_setzero_si512();
  const __m512i one = _mm512_set1_epi32(1);
  int64_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m512i x = _mm512_loadu_si512(g + i);
    const __mmask16 m = _mm512_cmpge_epi32_mask(x, zero) & _mm512_cmpneq_epi32_mask(x, vmissing);
    const __m512i at = _mm512_mask_sub_epi32(x, _mm512_cmpgt_epi32_mask(x, vskip), x, one);
    const __m512i v = _mm512_mask_i32gather_epi32(x, m, at, number, 4);
    _mm512_storeu_si512(g + i, v);
  }
  return i;
}
#endif  // MIRL_X86_KERNELS

// What a row's copy learnt about the row.
struct RowSummary {
  int32_t runs;     // runs of equal values
  bool all_in;      // every cell can belong to a patch
};

// Copies a row of the grid into val (column c at index c + 1) and marks in
// starts the columns where a run of equal values begins: bit c (of word
// c / 64) is set when column c differs from column c - 1, and always for
// column 0. Bit cols is set too, so that a search for the next start ends
// there.
RowSummary CopyRowMarkingRuns(const int32_t* g, int32_t cols, int32_t missing, int32_t* val,
                              uint64_t* starts) {
  std::fill(starts, starts + StartWords(cols), 0);
#if MIRL_SSE2_KERNELS
  const __m128i vmissing = _mm_set1_epi32(missing);
  const __m128i zero = _mm_setzero_si128();
  __m128i before = _mm_set1_epi32(kPad);
  __m128i same_count = zero;
  __m128i out = zero;
  uint64_t bits = 0;
  int32_t c = 0;
  for (; c <= cols - 4; c += 4) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + c));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(val + 1 + c), here);
    const __m128i west = _mm_or_si128(_mm_slli_si128(here, 4), _mm_srli_si128(before, 12));
    before = here;
    out = _mm_or_si128(out, _mm_or_si128(_mm_cmpgt_epi32(zero, here), _mm_cmpeq_epi32(here, vmissing)));
    const __m128i same = _mm_cmpeq_epi32(here, west);
    same_count = _mm_sub_epi32(same_count, same);
    bits |= static_cast<uint64_t>(~_mm_movemask_ps(_mm_castsi128_ps(same)) & 0xF) << (c & 63);
    if ((c & 63) == 60) {
      starts[c >> 6] = bits;
      bits = 0;
    }
  }
  starts[c >> 6] |= bits;
  int32_t lanes[4];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), same_count);
  RowSummary row{cols - (lanes[0] + lanes[1] + lanes[2] + lanes[3]),
                 _mm_movemask_epi8(out) == 0};
#else
  int32_t c = 0;
  RowSummary row{cols, true};
#endif
  for (; c < cols; ++c) {
    val[c + 1] = g[c];
    row.all_in &= g[c] >= 0 && g[c] != missing;
    const bool start = c == 0 || g[c] != g[c - 1];
    starts[c >> 6] |= static_cast<uint64_t>(start) << (c & 63);
    row.runs -= !start;
  }
  starts[0] |= 1;
  starts[cols >> 6] |= uint64_t{1} << (cols & 63);
  return row;
}

// The first marked column at or after from, but no further than limit; the
// mark at cols ends every search.
inline int32_t NextStart(const uint64_t* starts, int32_t from, int32_t limit) {
  int32_t word = from >> 6;
  uint64_t bits = starts[word] & (~uint64_t{0} << (from & 63));
  while (bits == 0) bits = starts[++word];
  return std::min(limit, (word << 6) + __builtin_ctzll(bits));
}

// Sets count labels from p on, with SSE2 in whole groups of sixteen: up to
// fifteen more past the end, which the caller's slack or later runs take.
inline void FillLabels(int32_t* p, int32_t count, int32_t label) {
#if !MIRL_SSE2_KERNELS
  std::fill(p, p + count, label);
#else
  const __m128i x = _mm_set1_epi32(label);
  for (int64_t i = 0; i < count; i += 16) {
    __m128i* q = reinterpret_cast<__m128i*>(p + i);
    _mm_storeu_si128(q, x);
    _mm_storeu_si128(q + 1, x);
    _mm_storeu_si128(q + 2, x);
    _mm_storeu_si128(q + 3, x);
  }
#endif
}

// One row of the first pass: the values, labels and run starts of the row
// above and of this row (column c at index c + 1 of the value and label
// rows, padded at both ends with cells that match no value), and the
// union-find forest with its next free label.
struct RowScan {
  const int32_t* prev_val;
  const int32_t* prev_lab;
  const uint64_t* prev_starts;
  const int32_t* cur_val;
  int32_t* cur_lab;
  const uint64_t* cur_starts;
  int32_t cols;
  int32_t missing;
  int32_t* parent;
  int32_t next;
};

// Rows whose runs of equal values are this long on average are labelled run
// by run, shorter ones cell by cell.
constexpr int32_t kMinMeanRun = 4;

// Labels a row cell by cell, 4-neighbourhood. kAllIn rows, where every
// cell can belong to a patch, skip that test. The west cell's label stays
// in a register: stored and loaded again at the next cell, it would put a
// store forwarding on the path from one cell to the next.
template <bool kAllIn>
__attribute__((noinline)) void ScanByCells4(RowScan* scan) {
  // A copy, kept in registers: the stores below could alias the fields.
  const RowScan row = *scan;
  int32_t next = row.next;
  int32_t west_val = kPad, west_lab = 0;
  for (int32_t c = 0; c < row.cols; ++c) {
    const int32_t v = row.cur_val[c + 1];
    if (kAllIn || (v >= 0 && v != row.missing)) {
      // The choice of label is made without branches: on noise every
      // neighbour test is a coin toss that a branch would mispredict. Only
      // the rarer joins of two labels branch. A fresh label's parent entry
      // is written every time and kept only when the label is taken.
      const int32_t n_val = row.prev_val[c + 1], n_lab = row.prev_lab[c + 1];
      row.parent[next] = next;
      int32_t label = SelectIfEqual(n_val, v, n_lab, next);
      label = SelectIfEqual(west_val, v, west_lab, label);
      next += label == next;
      // West and north in under different labels need joining. (With the
      // north-west cell in too, they are one set already, and the join
      // finds so.)
      const int32_t north = SelectIfEqual(n_val, v, n_lab, label);
      if (north != label) label = Union(row.parent, label, north);
      row.cur_lab[c + 1] = label;
      west_lab = label;
    }
    west_val = v;
  }
  scan->next = next;
}

// Labels a row cell by cell, 8-neighbourhood, as ScanByCells4. The cells
// above slide along in registers as well.
template <bool kAllIn>
__attribute__((noinline)) void ScanByCells8(RowScan* scan) {
  const RowScan row = *scan;
  int32_t next = row.next;
  int32_t west_val = kPad, west_lab = 0;
  int32_t nw_val = row.prev_val[0], nw_lab = row.prev_lab[0];
  int32_t n_val = row.prev_val[1], n_lab = row.prev_lab[1];
  for (int32_t c = 0; c < row.cols; ++c) {
    const int32_t v = row.cur_val[c + 1];
    const int32_t ne_val = row.prev_val[c + 2], ne_lab = row.prev_lab[c + 2];
    if (kAllIn || (v >= 0 && v != row.missing)) {
      row.parent[next] = next;
      // North touches west, north-west and north-east, and west touches
      // north-west, so north comes first and only north-east can bring a
      // second set, when north is out.
      int32_t label = SelectIfEqual(ne_val, v, ne_lab, next);
      label = SelectIfEqual(west_val, v, west_lab, label);
      label = SelectIfEqual(nw_val, v, nw_lab, label);
      label = SelectIfEqual(n_val, v, n_lab, label);
      next += label == next;
      int32_t north_east = SelectIfEqual(ne_val, v, ne_lab, label);
      north_east = SelectIfEqual(n_val, v, label, north_east);
      if (north_east != label) label = Union(row.parent, label, north_east);
      row.cur_lab[c + 1] = label;
      west_lab = label;
    }
    west_val = v;
    nw_val = n_val;
    nw_lab = n_lab;
    n_val = ne_val;
    n_lab = ne_lab;
  }
  scan->next = next;
}

// Labels a row cell by cell.
template <int kNeighborhood, bool kAllIn>
void ScanByCells(RowScan* scan) {
  if (kNeighborhood == 4) {
    ScanByCells4<kAllIn>(scan);
  } else {
    ScanByCells8<kAllIn>(scan);
  }
}

// Labels a row run by run: a run of equal values is one set, and so is each
// run of the row above, so a run takes the label of the first run above it
// of its value and joins the others.
template <int kNeighborhood>
void ScanByRuns(RowScan* scan) {
  constexpr int32_t kReach = kNeighborhood == 8 ? 1 : 0;
  const int32_t* prev_val = scan->prev_val;
  const int32_t* prev_lab = scan->prev_lab;
  const int32_t* cur_val = scan->cur_val;
  const int32_t cols = scan->cols;
  const int32_t missing = scan->missing;
  int32_t* parent = scan->parent;
  int32_t next = scan->next;
  for (int32_t c = 0; c < cols;) {
    const int32_t end = NextStart(scan->cur_starts, c + 1, cols);
    const int32_t v = cur_val[c + 1];
    if (v >= 0 && v != missing) {
      const int32_t last = std::min(cols, end + kReach);
      int32_t label = -1;
      for (int32_t x = std::max(0, c - kReach); x < last;
           x = NextStart(scan->prev_starts, x + 1, last)) {
        if (prev_val[x + 1] != v) continue;
        const int32_t above = prev_lab[x + 1];
        if (label < 0) {
          label = above;
        } else if (above != label) {
          label = Union(parent, label, above);
        }
      }
      if (label < 0) {
        parent[next] = next;
        label = next++;
      }
      FillLabels(scan->cur_lab + 1 + c, end - c, label);
    }
    c = end;
  }
  scan->next = next;
}

// Writes a row's provisional labels over its cells, stored one higher from
// skip up; cells that form no patch keep their values. val and lab are the
// row's values and labels, column c at index c.
void WriteRowLabels(int32_t* g, const int32_t* val, const int32_t* lab, int32_t cols,
                    int32_t missing, int32_t skip) {
  int32_t c = 0;
#if MIRL_SSE2_KERNELS
  const __m128i vmissing = _mm_set1_epi32(missing);
  const __m128i vskip = _mm_set1_epi32(skip);
  const __m128i zero = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi32(1);
  for (; c <= cols - 4; c += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(val + c));
    const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lab + c));
    const __m128i out = _mm_or_si128(_mm_cmpgt_epi32(zero, v), _mm_cmpeq_epi32(v, vmissing));
    // l + 1 - (l < skip)
    const __m128i stored = _mm_add_epi32(_mm_add_epi32(l, one), _mm_cmpgt_epi32(vskip, l));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(g + c),
                     _mm_or_si128(_mm_and_si128(out, v), _mm_andnot_si128(out, stored)));
  }
#endif
  for (; c < cols; ++c) {
    if (val[c] >= 0 && val[c] != missing) g[c] = lab[c] + (lab[c] >= skip);
  }
}

}  // namespace

CPatchScanner::CPatchScanner(const CMatrixViewInt& grid, int neighborhood)
    : m_Grid(&grid),
      m_Neighborhood(neighborhood),
      m_Skip(grid.missing() >= 0 ? grid.missing() : INT32_MAX),
      m_Parent(new int32_t[static_cast<size_t>(grid.size())]),
      m_Rows(new int32_t[4 * RowStride(grid.cols())]()),
      m_Starts(new uint64_t[2 * StartWords(grid.cols())]) {
  // On a grid of many small patches the first pass writes a fresh parent
  // entry at almost every cell, tens of megabytes of untouched memory that
  // take a fault per small page.
  platform::AdviseLargePages(m_Parent.get(), static_cast<size_t>(grid.size()) * sizeof(int32_t));
}

int32_t CPatchScanner::Run() noexcept {
  if (m_Neighborhood == 4) {
    FirstPass<4>();
  } else {
    FirstPass<8>();
  }
  const int32_t count = Resolve();
  SecondPass();
  return count;
}

template <int kNeighborhood>
void CPatchScanner::FirstPass() noexcept {
  const int32_t rows = m_Grid->rows();
  const int32_t cols = m_Grid->cols();
  const size_t stride = RowStride(cols);
  RowScan scan;
  int32_t* prev_val = m_Rows.get();
  int32_t* prev_lab = prev_val + stride;
  int32_t* cur_val = prev_lab + stride;
  int32_t* cur_lab = cur_val + stride;
  uint64_t* prev_starts = m_Starts.get();
  uint64_t* cur_starts = prev_starts + StartWords(cols);
  std::fill(prev_val, prev_val + cols + 2, kPad);
  cur_val[0] = cur_val[cols + 1] = kPad;
  // The row above the first is padding only, a single run.
  std::fill(prev_starts, prev_starts + StartWords(cols), 0);
  prev_starts[0] = 1;
  prev_starts[cols >> 6] |= uint64_t{1} << (cols & 63);
  scan.cols = cols;
  scan.missing = m_Grid->missing();
  scan.parent = m_Parent.get();
  scan.next = 0;

  for (int32_t r = 0; r < rows; ++r) {
    int32_t* g = m_Grid->data() + static_cast<int64_t>(r) * cols;
    const RowSummary row = CopyRowMarkingRuns(g, cols, scan.missing, cur_val, cur_starts);
    scan.prev_val = prev_val;
    scan.prev_lab = prev_lab;
    scan.prev_starts = prev_starts;
    scan.cur_val = cur_val;
    scan.cur_lab = cur_lab;
    scan.cur_starts = cur_starts;
    if (int64_t{kMinMeanRun} * row.runs <= cols) {
      ScanByRuns<kNeighborhood>(&scan);
    } else if (row.all_in) {
      ScanByCells<kNeighborhood, true>(&scan);
    } else {
      ScanByCells<kNeighborhood, false>(&scan);
    }
    WriteRowLabels(g, cur_val + 1, cur_lab + 1, cols, scan.missing, m_Skip);
    std::swap(prev_val, cur_val);
    std::swap(prev_lab, cur_lab);
    std::swap(prev_starts, cur_starts);
  }
  m_LabelCount = scan.next;
}

int32_t CPatchScanner::Resolve() noexcept {
  // Roots come in scan order, and every parent precedes its child, so one
  // sweep turns each label into its patch number.
  int32_t* parent = m_Parent.get();
  int32_t patches = 0;
  for (int32_t l = 0; l < m_LabelCount; ++l) {
    const int32_t p = parent[l];
    const bool root = p == l;
    parent[l] = Select(root, patches, parent[p]);
    patches += root;
  }
  return patches;
}


void CPatchScanner::SecondPass() noexcept {
  const int32_t missing = m_Grid->missing();
  const int32_t skip = m_Skip;
  const int32_t* number = m_Parent.get();
  int32_t* g = m_Grid->data();
  const int64_t n = m_Grid->size();
  int64_t i = 0;
#if MIRL_X86_KERNELS
  if (CpuHasAvx512()) i = SecondPassAvx512(g, n, missing, skip, number);
#endif
  for (; i < n; ++i) {
    const int32_t x = g[i];
    if (x >= 0 && x != missing) g[i] = number[x - (x > skip)];
  }
}

}  // namespace analysis
}  // namespace mirl
