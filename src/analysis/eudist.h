// Euclidean distance in attribute space: for every cell of a raster stack,
// sqrt of the sum over layers k of (reference[k] - layer k's value)^2. The
// sum runs in layer order in double precision with every product and sum
// rounded on its own, so each kernel gives bit for bit the result of the
// plain per-cell loop. With skip_missing, a layer is left out of a cell's
// sum where its reference value or the cell's value equals the missing
// value; a cell with every layer left out gets 0.
//
// Works only on the caller's arrays; nothing is kept between calls.
#ifndef MIRL_ANALYSIS_EUDIST_H_
#define MIRL_ANALYSIS_EUDIST_H_

#include <cstddef>
#include <cstdint>

#include "analysis/matrix_view.h"
#include "analysis/stack_view.h"
#include "analysis/vector_view.h"

namespace mirl {
namespace analysis {

// Throws std::length_error when layers x rows x cols elements of elem_size
// bytes cannot lie in one address space (such a stack cannot exist, so its
// indices would only wrap).
void CheckStackAddressable(int32_t layers, int32_t rows, int32_t cols, size_t elem_size);

// Writes every cell of result (the stack's rows x cols); T is double or
// int32_t. Picks the vector kernel when the processor has one.
template <typename T>
void Eudist(const CVectorView<T>& reference, const CStackView<T>& stack,
            const CMatrixViewDbl& result, bool skip_missing);

// The plain per-cell loop, and the AVX2 kernel (only where CpuHasAvx2();
// defined in x86 builds only).
template <typename T>
void EudistScalar(const CVectorView<T>& reference, const CStackView<T>& stack,
                  const CMatrixViewDbl& result, bool skip_missing);
template <typename T>
void EudistAvx2(const CVectorView<T>& reference, const CStackView<T>& stack,
                const CMatrixViewDbl& result, bool skip_missing);

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_EUDIST_H_
