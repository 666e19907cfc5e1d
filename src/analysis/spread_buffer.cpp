#include "analysis/spread_buffer.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>

#include "platform/memory_status.h"

namespace mirl {
namespace analysis {
namespace {

struct SpreadBuffer {
  std::unique_ptr<double[]> data;
  int32_t rows = -1;
  int32_t cols = -1;
};

// Never destroyed by static destructors: clean_up may run from the unload
// hook after them.
SpreadBuffer& Buffer() {
  static SpreadBuffer* buffer = new SpreadBuffer;
  return *buffer;
}

}  // namespace

double* PrepareSpreadBuffer(int32_t nrows, int32_t ncols) {
  SpreadBuffer& b = Buffer();
  const uint64_t cells = static_cast<uint64_t>(nrows) * static_cast<uint64_t>(ncols);
  if (!(b.data && b.rows == nrows && b.cols == ncols)) {
    ReleaseSpreadBuffer();
    // The reached count is a 32-bit result, so larger grids are refused as
    // an allocation failure rather than miscounted.
    if (cells > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
      throw std::bad_alloc();
    b.data.reset(new double[cells]);
    // The spread reads and writes the buffer in a ring about the source,
    // touching a new page at almost every step on small pages.
    platform::AdviseLargePages(b.data.get(), cells * sizeof(double));
    b.rows = nrows;
    b.cols = ncols;
  }
  std::fill_n(b.data.get(), cells, 0.0);
  return b.data.get();
}

void ReleaseSpreadBuffer() {
  SpreadBuffer& b = Buffer();
  b.data.reset();
  b.rows = -1;
  b.cols = -1;
}

int32_t SpreadBufferRows() { return Buffer().rows; }
int32_t SpreadBufferCols() { return Buffer().cols; }
const double* SpreadBufferData() { return Buffer().data.get(); }

}  // namespace analysis
}  // namespace mirl
