// CWetSpreader: spreads wetness from a source cell along a D8 flow-direction
// network: downstream along the water's path, and from every cell of that
// path upstream into each tributary whose first cell is dry (exactly 0).
// Entering a cell costs its cost value; a walk stops where the remaining
// value is no longer positive or the direction code is 0 or negative.
//
// Cells are visited and written in the order of a depth-first recursion
// (neighbours clockwise from north, each finished before the next is looked
// at), but the walk keeps its own stack on the heap, so its depth is bounded
// by memory rather than by the thread's stack.
//
// A walk that re-enters a cell it is still inside of (the same downstream
// path, or the same upstream chain) has gone around a cycle of the direction
// grid; Run stops and reports it instead of looping on for as long as the
// value lasts (for ever when the costs along the cycle are 0 or less).
//
// The three views are the caller's (first row and column 1) and must outlive
// the spreader; cost and direction are only read. One spreader per call; not
// thread safe.
#ifndef MIRL_ANALYSIS_WETSPREAD_H_
#define MIRL_ANALYSIS_WETSPREAD_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "analysis/matrix_view.h"

namespace mirl {
namespace analysis {

class CWetSpreader {
 public:
  enum class Outcome { kDone, kCycle };

  CWetSpreader(const CMatrixView<const double>& cost, const CMatrixView<const int32_t>& direction,
               const CMatrixViewDbl& wetness);
  virtual ~CWetSpreader() {}

  /// Runs the downstream walk from the 1-based cell (row, col) with value x.
  /// On kCycle the cells written so far stay written. Throws std::bad_alloc
  /// when the walk's stack cannot grow.
  Outcome Run(int32_t row, int32_t col, double x);

 private:
  enum Kind { kDown = 0, kUp = 1 };
  struct Frame {
    int32_t row;
    int32_t col;
    double value;
  };

  // Checks, writes and pushes a cell. Returns false when the walk does not
  // go in (value spent, or direction 0 or negative); sets m_Cycle when the
  // cell is already on the stack as the same kind.
  bool Enter(Kind kind, int32_t row, int32_t col, double x);
  void Leave();
  // Looks at the neighbours of the top frame from index i on and enters the
  // first that the walk goes into; false when none is left.
  bool Descend(int i);

  int64_t BitOf(Kind kind, int32_t row, int32_t col) const;

  const CMatrixView<const double>* m_Cost;
  const CMatrixView<const int32_t>* m_Direction;
  const CMatrixViewDbl* m_Wetness;
  std::vector<Frame> m_Stack;
  // Downstream frames always sit below upstream ones (an upstream walk never
  // turns downstream), so one count tells every frame's kind.
  std::size_t m_DownCount = 0;
  struct FreeDeleter {
    void operator()(uint64_t* p) const { std::free(p); }
  };
  // Two bits per cell: on the stack as a downstream, as an upstream frame.
  // Zeroed by calloc, so that the pages a short walk never touches cost
  // nothing even on a large grid.
  std::unique_ptr<uint64_t[], FreeDeleter> m_OnStack;
  bool m_Cycle = false;
};

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_WETSPREAD_H_
