// Which vector kernels this processor can run. The shipped library is built
// for plain x86-64; kernels compiled for AVX2 (and FMA) are chosen at run
// time through these checks (and AVX-512 where it pays), so the same binary runs on any x86-64.
//
// Thread safety: the answers are computed once and are read-only afterwards.
#ifndef MIRL_ANALYSIS_CPU_FEATURES_H_
#define MIRL_ANALYSIS_CPU_FEATURES_H_

// Marks a function whose body may use AVX2 instructions (no FMA, so that
// the compiler cannot fuse a product and a sum that must round separately).
#define MIRL_TARGET_AVX2 __attribute__((target("avx2")))
// Marks a function whose body may use AVX2 and explicit FMA instructions.
#define MIRL_TARGET_AVX2_FMA __attribute__((target("avx2,fma")))
// Marks a function whose body may use AVX-512 (foundation and the double-
// word and quad-word set) with explicit FMA instructions.
#define MIRL_TARGET_AVX512 __attribute__((target("avx512f,avx512dq,fma")))

namespace mirl {
namespace analysis {

inline bool CpuHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

inline bool CpuHasAvx2Fma() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return has;
}

inline bool CpuHasAvx512() {
  static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
  return has;
}

}  // namespace analysis
}  // namespace mirl

#endif  // MIRL_ANALYSIS_CPU_FEATURES_H_
