#include "analysis/wetspread.h"

#include <cstdint>
#include <new>
#include <stdexcept>

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

// Room for laps beyond what any walk without cycles needs: a few million
// cell entries take a fraction of a second and at most 64 MiB of stack, yet
// let a small pit with cheap cells be walked round a million times or more.
constexpr uint64_t kLapAllowance = uint64_t{1} << 22;

}  // namespace

std::size_t CWetSpreader::DefaultStepLimit(int64_t cells) {
  const uint64_t n = cells > 0 ? static_cast<uint64_t>(cells) : 0;
  const uint64_t limit = n > (UINT64_MAX - kLapAllowance) / 2 ? UINT64_MAX : 2 * n + kLapAllowance;
  return limit > SIZE_MAX ? SIZE_MAX : static_cast<std::size_t>(limit);
}

CWetSpreader::CWetSpreader(const CMatrixView<const double>& cost,
                           const CMatrixView<const int32_t>& direction,
                           const CMatrixViewDbl& wetness)
    : CWetSpreader(cost, direction, wetness, DefaultStepLimit(direction.size())) {}

CWetSpreader::CWetSpreader(const CMatrixView<const double>& cost,
                           const CMatrixView<const int32_t>& direction,
                           const CMatrixViewDbl& wetness, std::size_t step_limit)
    : m_Cost(&cost), m_Direction(&direction), m_Wetness(&wetness), m_StepLimit(step_limit) {}

int64_t CWetSpreader::BitOf(Kind kind, int32_t row, int32_t col) const {
  const int64_t flat = static_cast<int64_t>(row - m_Direction->first_row()) * m_Direction->cols() +
                       (col - m_Direction->first_col());
  return 2 * flat + kind;
}

bool CWetSpreader::Enter(Kind kind, int32_t row, int32_t col, double x) {
  if (!(x > 0) || (*m_Direction)(row, col) <= 0) return false;
  if (m_Entered == m_StepLimit) {
    m_Refused = true;
    return false;
  }
  // Grown first, so that a failed allocation leaves this cell untouched and
  // the records of repeats in step with the stack.
  if (m_Stack.size() == m_Stack.capacity()) Grow();
  const int64_t bit = BitOf(kind, row, col);
  uint64_t& word = m_OnStack[static_cast<std::size_t>(bit >> 6)];
  const uint64_t mask = uint64_t{1} << (bit & 63);
  if ((word & mask) && !MayReenter(kind, row, col, x)) {
    m_Refused = true;
    return false;
  }
  m_Stack.push_back(Frame{row, col, x});
  word |= mask;
  (*m_Wetness)(row, col) = x;
  ++m_Entered;
  if (kind == kDown) ++m_DownCount;
  return true;
}

bool CWetSpreader::MayReenter(Kind kind, int32_t row, int32_t col, double x) {
  // The cell is re-entered from the top frame, a cell of the same cycle and
  // kind: a downstream cell is entered only from a downstream one, and an
  // upstream chain, once off its cycle, never comes back to it.
  const std::size_t top = m_Stack.size() - 1;
  const bool parent_repeats = !m_Repeats.empty() && m_Repeats.back().last == top;
  std::size_t previous;
  if (parent_repeats) {
    // The parent's previous presence lies one lap below it, and the frame
    // just above that presence is the cell that followed the parent on that
    // lap: this cell again. Following it keeps the walk linear in its laps.
    previous = top - m_Repeats.back().distance + 1;
    if (m_Stack[previous].row != row || m_Stack[previous].col != col) {
      throw std::logic_error("wetspread: a lap does not repeat the one before it");
    }
  } else {
    previous = LatestPresence(kind, row, col);
  }
  if (!(x < m_Stack[previous].value)) return false;
  const std::size_t at = top + 1;
  const std::size_t distance = at - previous;
  if (parent_repeats && m_Repeats.back().distance == distance) {
    ++m_Repeats.back().last;
  } else {
    m_Repeats.push_back(Repeats{at, at, distance});
  }
  return true;
}

std::size_t CWetSpreader::LatestPresence(Kind kind, int32_t row, int32_t col) const {
  // Only at the first lap round a cycle: the search covers that one lap.
  const std::size_t bottom = kind == kDown ? 0 : m_DownCount;
  for (std::size_t i = m_Stack.size(); i-- > bottom;) {
    if (m_Stack[i].row == row && m_Stack[i].col == col) return i;
  }
  throw std::logic_error("wetspread: a cell marked on the path is not on it");
}

void CWetSpreader::Grow() {
  // Doubling as push_back would, but never past the step limit, so that a
  // walk holds no more frames than it may enter. The stack is smaller than
  // the limit here: it holds at most the cells entered, and those are below
  // the limit.
  const std::size_t size = m_Stack.size();
  std::size_t want = size < 1024 ? 1024 : (size > SIZE_MAX / 2 ? SIZE_MAX : 2 * size);
  if (want > m_StepLimit) want = m_StepLimit;
  if (want > m_Stack.max_size()) throw std::bad_alloc();
  m_Stack.reserve(want);
}

void CWetSpreader::Leave() {
  const std::size_t at = m_Stack.size() - 1;
  const Frame& top = m_Stack.back();
  const Kind kind = at < m_DownCount ? kDown : kUp;
  if (!m_Repeats.empty() && m_Repeats.back().last == at) {
    // An earlier presence of this cell is still on the stack: its bit stays.
    if (m_Repeats.back().first == at) {
      m_Repeats.pop_back();
    } else {
      --m_Repeats.back().last;
    }
  } else {
    const int64_t bit = BitOf(kind, top.row, top.col);
    m_OnStack[static_cast<std::size_t>(bit >> 6)] &= ~(uint64_t{1} << (bit & 63));
  }
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
    if (m_Refused) return false;
  }
  return false;
}

CWetSpreader::Outcome CWetSpreader::Run(int32_t row, int32_t col, double x) {
  m_Stack.clear();
  m_Repeats.clear();
  m_DownCount = 0;
  m_Entered = 0;
  m_Refused = false;
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
    if (m_Refused) return Outcome::kRefused;
    const Frame done = m_Stack.back();
    Leave();
    if (m_Stack.empty()) break;
    const Frame& parent = m_Stack.back();
    next = kIndexOfOffset[(done.row - parent.row + 1) * 3 + (done.col - parent.col + 1)] + 1;
  }
  return m_Refused ? Outcome::kRefused : Outcome::kDone;
}

}  // namespace analysis
}  // namespace mirl
