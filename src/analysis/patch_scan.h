// CPatchScanner: labels in place the patches of an integer grid, a patch
// being a maximal set of cells of one value >= 0 (and not the view's missing
// value) connected through the 4- or 8-neighbourhood. Patches are numbered
// 0, 1, ... in the storage order of their first cells; other cells keep
// their values.
//
// Two passes over the grid with a union-find of provisional labels: the
// first writes provisional labels, the second the final numbers. Everything
// the passes need is allocated before the grid is first written, so a
// failed allocation (std::bad_alloc from the constructor) leaves it intact.
//
// The view is the caller's and must outlive the scanner. Not thread safe.
#ifndef MIRL_ANALYSIS_PATCH_SCAN_H_
#define MIRL_ANALYSIS_PATCH_SCAN_H_

#include <cstdint>
#include <memory>

#include "analysis/matrix_view.h"

namespace mirl {
namespace analysis {

class CPatchScanner {
 public:
  /// Grids with more cells than this cannot be labelled: a provisional label
  /// per cell must fit an int32 beside the missing value.
  static constexpr int64_t kMaxCells = INT32_MAX - 1;

  /// neighborhood is 4 or 8; 1 <= grid.size() <= kMaxCells. Allocates the
  /// work space; throws std::bad_alloc when it cannot.
  CPatchScanner(const CMatrixViewInt& grid, int neighborhood);
  virtual ~CPatchScanner() {}

  /// Labels the grid and returns the number of patches. Does not throw.
  int32_t Run() noexcept;

 private:
  template <int kNeighborhood>
  void FirstPass() noexcept;
  int32_t Resolve() noexcept;
  void SecondPass() noexcept;

  const CMatrixViewInt* m_Grid;
  int m_Neighborhood;
  // Provisional labels equal to or above this are stored one higher, so that
  // no stored label equals a missing value that is not negative.
  int32_t m_Skip;
  int32_t m_LabelCount = 0;
  // Union-find forest of the provisional labels; a parent is never larger
  // than its child. Room for one label per cell.
  std::unique_ptr<int32_t[]> m_Parent;
  // Values and provisional labels of the previous and the current row, with
  // one padding cell at each end that matches no value.
  std::unique_ptr<int32_t[]> m_Rows;
  // Where the runs of equal values begin in the previous and the current
  // row, a bit per column.
  std::unique_ptr<uint64_t[]> m_Starts;
};

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_PATCH_SCAN_H_
