#include "analysis/eudist.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "analysis/cpu_features.h"

namespace mirl {
namespace analysis {

void CheckStackAddressable(int32_t layers, int32_t rows, int32_t cols, size_t elem_size) {
  const uint64_t limit = static_cast<uint64_t>(PTRDIFF_MAX) / elem_size;
  const uint64_t cells = static_cast<uint64_t>(rows) * static_cast<uint64_t>(cols);
  if (cells > limit / static_cast<uint64_t>(layers))
    throw std::length_error("stack larger than the address space");
}

template <typename T>
void EudistScalar(const CVectorView<T>& reference, const CStackView<T>& stack,
                  const CMatrixViewDbl& result, bool skip_missing) {
  const T missing = stack.missing();
  for (int32_t r = result.first_row(); r <= result.last_row(); ++r) {
    for (int32_t c = result.first_col(); c <= result.last_col(); ++c) {
      double sum = 0.0;
      for (int32_t k = reference.first(); k <= reference.last(); ++k) {
        const T ref = reference(k);
        const T value = stack(k, r, c);
        if (skip_missing && (ref == missing || value == missing)) continue;
        const double d = static_cast<double>(ref) - static_cast<double>(value);
        sum += d * d;
      }
      result(r, c) = std::sqrt(sum);
    }
  }
}

template <typename T>
void Eudist(const CVectorView<T>& reference, const CStackView<T>& stack,
            const CMatrixViewDbl& result, bool skip_missing) {
  CheckStackAddressable(stack.layers().count, stack.rows().count, stack.cols().count, sizeof(T));
#if MIRL_X86_KERNELS
  if (CpuHasAvx2()) {
    EudistAvx2(reference, stack, result, skip_missing);
  } else
#endif
  {
    EudistScalar(reference, stack, result, skip_missing);
  }
}

template void Eudist<double>(const CVectorView<double>&, const CStackView<double>&,
                             const CMatrixViewDbl&, bool);
template void Eudist<int32_t>(const CVectorView<int32_t>&, const CStackView<int32_t>&,
                              const CMatrixViewDbl&, bool);
template void EudistScalar<double>(const CVectorView<double>&, const CStackView<double>&,
                                   const CMatrixViewDbl&, bool);
template void EudistScalar<int32_t>(const CVectorView<int32_t>&, const CStackView<int32_t>&,
                                    const CMatrixViewDbl&, bool);

}  // namespace analysis
}  // namespace mirl
