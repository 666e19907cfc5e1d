// The spread's process-wide work buffer: one array of doubles kept between
// calls with the dimensions it was made for, so repeated spreads over grids
// of one size allocate nothing but their queue. Released by clean_up.
//
// Thread safety: none; spread is not reentrant.
#ifndef MIRL_ANALYSIS_SPREAD_BUFFER_H_
#define MIRL_ANALYSIS_SPREAD_BUFFER_H_

#include <cstdint>

namespace mirl {
namespace analysis {

// A zero-filled buffer of nrows x ncols doubles, reused when the dimensions
// are unchanged. Throws std::bad_alloc when it cannot be had.
double* PrepareSpreadBuffer(int32_t nrows, int32_t ncols);

// Frees the buffer and forgets its dimensions (they read -1 afterwards).
void ReleaseSpreadBuffer();

// The remembered dimensions, -1 when there is no buffer. For tests.
int32_t SpreadBufferRows();
int32_t SpreadBufferCols();
const double* SpreadBufferData();

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_SPREAD_BUFFER_H_
