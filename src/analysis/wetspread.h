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
// Cycles of the direction grid are walked like the recursion walks them:
// round and round, each lap entering the cycle's cells again with what is
// left of the value, until it is spent. Run refuses (kRefused) only where
// that cannot be done:
//  - the walk re-enters a cell that it is still inside of as the same kind
//    (downstream path or upstream chain) with a value not smaller than at the
//    latest presence of that cell on the path. The costs around the cycle
//    then sum to 0 or less, or are too small to change the value, and every
//    later lap would carry at least as much, so the walk would never end.
//  - the walk would enter more cells in all than the step limit, by default
//    2 x cells + 2^22 (DefaultStepLimit). On a grid without cycles a walk
//    enters each cell at most once (a tributary's cells lie upstream of that
//    tributary only), so only laps count against the limit, and a cycle with
//    tiny positive costs cannot keep the caller waiting for an astronomical
//    number of laps. The limit bounds both the time and the stack: at most
//    limit frames of 16 bytes, and the stack never grows past that.
// On kRefused the cells written so far stay written; the refused cell is not
// written.
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
  enum class Outcome { kDone, kRefused };

  /// 2 x cells + 2^22, saturated: the most cells one walk over a grid of
  /// `cells` cells may enter.
  static std::size_t DefaultStepLimit(int64_t cells);

  /// Uses DefaultStepLimit of the direction grid's size.
  CWetSpreader(const CMatrixView<const double>& cost, const CMatrixView<const int32_t>& direction,
               const CMatrixViewDbl& wetness);
  /// A walk that would enter more than step_limit cells is refused.
  CWetSpreader(const CMatrixView<const double>& cost, const CMatrixView<const int32_t>& direction,
               const CMatrixViewDbl& wetness, std::size_t step_limit);
  virtual ~CWetSpreader() {}

  /// Runs the downstream walk from the 1-based cell (row, col) with value x.
  /// Throws std::bad_alloc when the walk's stack cannot grow, with the cells
  /// written so far left in place.
  Outcome Run(int32_t row, int32_t col, double x);

  /// Cells entered (and written) by the last Run, repeats included.
  std::size_t entered() const { return m_Entered; }

 private:
  enum Kind { kDown = 0, kUp = 1 };
  struct Frame {
    int32_t row;
    int32_t col;
    double value;
  };
  // Consecutive stack frames [first, last] that are repeated presences of
  // their cells, each `distance` frames above its previous presence. Along a
  // lap every frame repeats the one a cycle length below, so one run covers
  // any number of laps.
  struct Repeats {
    std::size_t first;
    std::size_t last;
    std::size_t distance;
  };

  // Checks, writes and pushes a cell. Returns false when the walk does not
  // go in (value spent, or direction 0 or negative); sets m_Refused when it
  // must not (see the contract above).
  bool Enter(Kind kind, int32_t row, int32_t col, double x);
  // For a cell already on the stack as `kind`: whether the walk may go round
  // again with x, recording the new frame as a repeat when it may.
  bool MayReenter(Kind kind, int32_t row, int32_t col, double x);
  std::size_t LatestPresence(Kind kind, int32_t row, int32_t col) const;
  void Grow();
  void Leave();
  // Looks at the neighbours of the top frame from index i on and enters the
  // first that the walk goes into; false when none is left.
  bool Descend(int i);

  int64_t BitOf(Kind kind, int32_t row, int32_t col) const;

  const CMatrixView<const double>* m_Cost;
  const CMatrixView<const int32_t>* m_Direction;
  const CMatrixViewDbl* m_Wetness;
  std::size_t m_StepLimit;
  std::size_t m_Entered = 0;
  std::vector<Frame> m_Stack;
  // Downstream frames always sit below upstream ones (an upstream walk never
  // turns downstream), so one count tells every frame's kind.
  std::size_t m_DownCount = 0;
  // Empty unless the walk goes round a cycle.
  std::vector<Repeats> m_Repeats;
  struct FreeDeleter {
    void operator()(uint64_t* p) const { std::free(p); }
  };
  // Two bits per cell: on the stack as a downstream, as an upstream frame
  // (set from the first presence until that one is left). Zeroed by calloc,
  // so that the pages a short walk never touches cost nothing even on a
  // large grid.
  std::unique_ptr<uint64_t[], FreeDeleter> m_OnStack;
  bool m_Refused = false;
};

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_WETSPREAD_H_
