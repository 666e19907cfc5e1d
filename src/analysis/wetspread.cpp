#include "analysis/wetspread.h"

#include <cstdint>
#include <new>

namespace mirl {
namespace analysis {

namespace {

// Neighbours clockwise from north. kDrainsTo is the code of a cell whose
// water flows into neighbour i; kDrainsFrom the code of neighbour i when its
// water flows into the cell.
const int32_t kRowOffset[8] = {-1, -1, 0, +1, +1, +1, 0, -1};
const int32_t kColOffset[8] = {0, +1, +1, +1, 0, -1, -1, -1};
const int32_t kDrainsTo[8] = {64, 128, 1, 2, 4, 8, 16, 32};
const int32_t kDrainsFrom[8] = {4, 8, 16, 32, 64, 128, 1, 2};

// Neighbour index of the offset (dr, dc), at (dr + 1) * 3 + (dc + 1); the
// centre has none.
const int kIndexOfOffset[9] = {7, 0, 1, 6, -1, 2, 5, 4, 3};

}  // namespace

CWetSpreader::CWetSpreader(const CMatrixView<const double>& cost,
                           const CMatrixView<const int32_t>& direction,
                           const CMatrixViewDbl& wetness)
    : m_Cost(&cost), m_Direction(&direction), m_Wetness(&wetness) {}

int64_t CWetSpreader::BitOf(Kind kind, int32_t row, int32_t col) const {
  const int64_t flat = static_cast<int64_t>(row - m_Direction->first_row()) * m_Direction->cols() +
                       (col - m_Direction->first_col());
  return 2 * flat + kind;
}

bool CWetSpreader::Enter(Kind kind, int32_t row, int32_t col, double x) {
  if (!(x > 0) || (*m_Direction)(row, col) <= 0) return false;
  const int64_t bit = BitOf(kind, row, col);
  uint64_t& word = m_OnStack[static_cast<std::size_t>(bit >> 6)];
  const uint64_t mask = uint64_t{1} << (bit & 63);
  if (word & mask) {
    m_Cycle = true;
    return false;
  }
  // Pushed before the write, so a failed push leaves this cell untouched.
  m_Stack.push_back(Frame{row, col, x});
  word |= mask;
  (*m_Wetness)(row, col) = x;
  if (kind == kDown) ++m_DownCount;
  return true;
}

void CWetSpreader::Leave() {
  const Frame& top = m_Stack.back();
  const Kind kind = m_Stack.size() <= m_DownCount ? kDown : kUp;
  const int64_t bit = BitOf(kind, top.row, top.col);
  m_OnStack[static_cast<std::size_t>(bit >> 6)] &= ~(uint64_t{1} << (bit & 63));
  if (kind == kDown) --m_DownCount;
  m_Stack.pop_back();
}

bool CWetSpreader::Descend(int i) {
  // A copy: entering a neighbour may move the stack's storage.
  const Frame top = m_Stack.back();
  const Kind kind = m_Stack.size() <= m_DownCount ? kDown : kUp;
  const int32_t own = (*m_Direction)(top.row, top.col);
  for (; i < 8; ++i) {
    const int32_t r = top.row + kRowOffset[i];
    const int32_t c = top.col + kColOffset[i];
    if (!m_Direction->inside(r, c)) continue;
    Kind child;
    if (kind == kDown && own == kDrainsTo[i]) {
      child = kDown;
    } else if ((kind == kUp || (*m_Wetness)(r, c) == 0) && (*m_Direction)(r, c) == kDrainsFrom[i]) {
      child = kUp;
    } else {
      continue;
    }
    if (Enter(child, r, c, top.value - (*m_Cost)(r, c))) return true;
    if (m_Cycle) return false;
  }
  return false;
}

CWetSpreader::Outcome CWetSpreader::Run(int32_t row, int32_t col, double x) {
  m_Stack.clear();
  m_DownCount = 0;
  m_Cycle = false;
  const uint64_t words = (2 * static_cast<uint64_t>(m_Direction->size()) + 63) / 64;
  if (words > SIZE_MAX / sizeof(uint64_t)) throw std::bad_alloc();
  m_OnStack.reset(
      static_cast<uint64_t*>(std::calloc(static_cast<std::size_t>(words), sizeof(uint64_t))));
  if (!m_OnStack) throw std::bad_alloc();

  Enter(kDown, row, col, x);
  int next = 0;  // the neighbour index the top frame resumes at
  while (!m_Stack.empty()) {
    if (Descend(next)) {
      next = 0;
      continue;
    }
    if (m_Cycle) return Outcome::kCycle;
    const Frame done = m_Stack.back();
    Leave();
    if (m_Stack.empty()) break;
    const Frame& parent = m_Stack.back();
    next = kIndexOfOffset[(done.row - parent.row + 1) * 3 + (done.col - parent.col + 1)] + 1;
  }
  return Outcome::kDone;
}

}  // namespace analysis
}  // namespace mirl
