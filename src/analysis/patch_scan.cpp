#include "analysis/patch_scan.h"

#include <algorithm>
#include <utility>

#include <immintrin.h>

#include "analysis/cpu_features.h"
#include "platform/memory_status.h"

namespace mirl {
namespace analysis {

namespace {

// Matches no value that can form a patch.
constexpr int32_t kPad = -1;

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

}  // namespace

CPatchScanner::CPatchScanner(const CMatrixViewInt& grid, int neighborhood)
    : m_Grid(&grid),
      m_Neighborhood(neighborhood),
      m_Skip(grid.missing() >= 0 ? grid.missing() : INT32_MAX),
      m_Parent(new int32_t[static_cast<size_t>(grid.size())]),
      m_Rows(new int32_t[4 * (static_cast<size_t>(grid.cols()) + 2)]) {
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
  const int32_t missing = m_Grid->missing();
  const int32_t skip = m_Skip;
  const size_t width = static_cast<size_t>(cols) + 2;
  // Index c + 1 of a row buffer is column c.
  int32_t* prev_val = m_Rows.get();
  int32_t* prev_lab = prev_val + width;
  int32_t* cur_val = prev_lab + width;
  int32_t* cur_lab = cur_val + width;
  std::fill(prev_val, prev_val + width, kPad);
  cur_val[0] = cur_val[width - 1] = kPad;
  int32_t* parent = m_Parent.get();
  int32_t next = 0;

  for (int32_t r = 0; r < rows; ++r) {
    int32_t* g = m_Grid->data() + static_cast<int64_t>(r) * cols;
    for (int32_t c = 0; c < cols; ++c) {
      const int32_t v = g[c];
      cur_val[c + 1] = v;
      if (v < 0 || v == missing) continue;
      // The choice of label is made without branches: on noise every
      // neighbour test is a coin toss that a branch would mispredict. Only
      // the rarer joins of two labels branch. A fresh label's parent entry is
      // written every time and kept only when the label is taken.
      const bool n = prev_val[c + 1] == v;
      const bool w = cur_val[c] == v;
      parent[next] = next;
      int32_t label;
      if (kNeighborhood == 4) {
        label = Select(n, prev_lab[c + 1], next);
        label = Select(w, cur_lab[c], label);
        next += !(n | w);
        // West and north need joining unless the north-west cell is in too.
        // One test of the combined pattern: split into its parts, the branch
        // on each part alone would be a coin toss on noise.
        const int pattern = n | (w << 1) | ((prev_val[c] == v) << 2);
        if (pattern == 3) label = Union(parent, cur_lab[c], prev_lab[c + 1]);
      } else {
        // North touches west, north-west and north-east, and west touches
        // north-west, so only north-east can bring a second set.
        const bool nw = prev_val[c] == v;
        const bool ne = prev_val[c + 2] == v;
        label = Select(ne, prev_lab[c + 2], next);
        label = Select(w, cur_lab[c], label);
        label = Select(nw, prev_lab[c], label);
        label = Select(n, prev_lab[c + 1], label);
        next += !(n | nw | w | ne);
        // Joins when north is out, north-east in, and north-west or west in;
        // one test on the pattern (n, nw, w, ne as bits 0 to 3).
        constexpr unsigned kJoin = (1u << 10) | (1u << 12) | (1u << 14);
        const int pattern = n | (nw << 1) | (w << 2) | (ne << 3);
        if ((kJoin >> pattern) & 1u) label = Union(parent, label, prev_lab[c + 2]);
      }
      cur_lab[c + 1] = label;
      g[c] = label + (label >= skip);
    }
    std::swap(prev_val, cur_val);
    std::swap(prev_lab, cur_lab);
  }
  m_LabelCount = next;
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
  if (CpuHasAvx512()) i = SecondPassAvx512(g, n, missing, skip, number);
  for (; i < n; ++i) {
    const int32_t x = g[i];
    if (x >= 0 && x != missing) g[i] = number[x - (x > skip)];
  }
}

}  // namespace analysis
}  // namespace mirl
